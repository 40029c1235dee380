#include "tools/pack/signing.h"

#include "tools/pack/pack_errors.h"

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/platform.h"

extern char** environ;

namespace {

constexpr char kTool[] = "osslsigncode";

std::optional<std::string> FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string_view folders = path ? path : "";
    for (size_t start = 0;;) {
        const size_t end = folders.find(':', start);
        std::string folder(folders.substr(start, end - start));
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (FileExists(candidate) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string_view::npos)
            return std::nullopt;
        start = end + 1;
    }
}

// Runs program with arguments: nothing on its standard input (it must never wait for a
// passphrase), its standard output and error collected in output. Returns its exit status, -1
// when it did not exit by itself.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string& output) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw TError("Cannot run " + program + ": " + LastSystemErrorText());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        throw TError("Cannot run " + program + ": " + std::strerror(error));
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(ends[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(ends[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SigningTool() {
    if (auto tool = FindOnPath(kTool))
        return *tool;
    throw TMissingPrerequisite(std::string("--sign needs ") + kTool + " on PATH (Debian package " +
                               kTool + ")");
}

} // namespace

void CheckSigningTool() {
    SigningTool();
}

void SignExecutable(const std::string& in, const std::string& out, const TSigningKey& key) {
    std::string output;
    const int status = RunProgram(SigningTool(),
                                  {"sign", "-certs", key.certificate, "-key", key.key, "-h",
                                   "sha256", "-in", in, "-out", out},
                                  output);
    if (status != 0) {
        while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
            output.pop_back();
        throw TError(std::string(kTool) + " could not sign the book:\n" + output);
    }
}

#else

void CheckSigningTool() {
    throw TMissingPrerequisite("--sign: this leafturn-pack cannot sign; sign the book with your "
                               "signing tool afterwards (its package survives signing), or use "
                               "the Linux leafturn-pack");
}

void SignExecutable(const std::string&, const std::string&, const TSigningKey&) {
    CheckSigningTool();
}

#endif
