#include "base/platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/streams.h"

std::string OwnExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string OwnExecutableDirectory() {
    std::string path = OwnExecutablePath();
    return path.substr(0, path.rfind('/') + 1);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<TFileIdentity> QueryFileIdentity(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return TFileIdentity{static_cast<int64_t>(st.st_size),
                         static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

int64_t LocalClockMilliseconds() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local;
    localtime_r(&ts.tv_sec, &local);
    return (static_cast<int64_t>(ts.tv_sec) + local.tm_gmtoff) * 1000 + ts.tv_nsec / 1000000;
}

void SleepMilliseconds(int milliseconds) {
    timespec ts{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::string LastSystemErrorText() {
    return std::strerror(errno);
}

std::unique_ptr<TFileStream> TFileStream::TryOpenShared(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<TFileStream>(new TFileStream(fd));
}

TFileStream::~TFileStream() {
    close(static_cast<int>(handle_));
}

int64_t TFileStream::ReadSome(void* buffer, int32_t count) {
    for (;;) {
        const ssize_t n = read(static_cast<int>(handle_), buffer, static_cast<size_t>(count));
        if (n >= 0 || errno != EINTR)
            return n > 0 ? n : 0;
    }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int whence = origin == TSeekOrigin::Begin     ? SEEK_SET
                       : origin == TSeekOrigin::Current ? SEEK_CUR
                                                        : SEEK_END;
    const off_t result = lseek(static_cast<int>(handle_), static_cast<off_t>(offset), whence);
    if (result < 0)
        throw TError("Stream seek error");
    return result;
}

int64_t TFileStream::Size() {
    struct stat st;
    if (fstat(static_cast<int>(handle_), &st) != 0)
        throw TError("Stream seek error");
    return st.st_size;
}
