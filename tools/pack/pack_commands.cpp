#include "tools/pack/pack_commands.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "base/errors.h"
#include "base/int_from_text.h"
#include "base/streams.h"
#include "base/text.h"
#include "lib/MyLib/ExeExt.h"
#include "package/PackageLookup.h"
#include "tools/pack/package_writer.h"

namespace fs = std::filesystem;

namespace {

class TUsageError : public TError {
public:
    using TError::TError;
};

const char kMainHelp[] = "usage: leafturn-pack COMMAND [ARGS]\n"
                         "\n"
                         "Commands:\n"
                         "  build    append a folder to a copy of the viewer, making a book\n"
                         "  list     list the entries of a book\n"
                         "  cat      write one entry of a book to standard output\n"
                         "  extract  write every entry of a book below a folder\n"
                         "  verify   check a book's package and digest\n"
                         "\n"
                         "'leafturn-pack COMMAND --help' describes a command.\n";

const std::map<std::string, std::string> kCommandHelp = {
    {"build",
     "usage: leafturn-pack build --viewer VIEWER --out BOOK [--digest] FOLDER\n"
     "Copies VIEWER to BOOK and appends every regular file below FOLDER, named by its path\n"
     "relative to FOLDER with '/' separators. book.swf, ExeConfig.xml and files/book.xml come\n"
     "first, the rest sorted by name. --digest adds a digest of the content that the viewer\n"
     "verifies. BOOK is written completely or not at all.\n"},
    {"list",
     "usage: leafturn-pack list BOOK\n"
     "Prints one line per index entry: entry number, size in bytes and name, tab-separated.\n"},
    {"cat",
     "usage: leafturn-pack cat BOOK NAME\n"
     "Writes the entry the viewer finds for NAME (letter case ignored) to standard output.\n"},
    {"extract", "usage: leafturn-pack extract BOOK DIR\n"
                "Writes every named entry below DIR; names that would leave DIR are refused.\n"},
    {"verify", "usage: leafturn-pack verify BOOK\n"
               "Checks the trailer, the digest when there is one, and that the entry sizes add\n"
               "up to the content; prints the entry count, content bytes and digest state.\n"},
};

struct TCommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // "--viewer" -> value, "--digest" -> ""
};

TCommandLine ParseCommandLine(const std::vector<std::string>& words,
                              const std::set<std::string>& valued,
                              const std::set<std::string>& flags, size_t positionalCount) {
    TCommandLine line;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (valued.count(word)) {
            if (i + 1 == words.size())
                throw TUsageError(word + " needs a value");
            line.options[word] = words[++i];
        } else if (flags.count(word)) {
            line.options[word] = "";
        } else if (word.size() > 1 && word[0] == '-') {
            throw TUsageError("unknown option " + word);
        } else {
            line.positional.push_back(word);
        }
    }
    for (const std::string& option : valued)
        if (!line.options.count(option))
            throw TUsageError(option + " is required");
    if (line.positional.size() != positionalCount)
        throw TUsageError("expected " + std::to_string(positionalCount) + " argument" +
                          (positionalCount == 1 ? "" : "s"));
    return line;
}

// Names that must not enter a package: they would break its index lines.
bool IsStorableName(const std::string& name) {
    return name.find_first_of("=\r\n") == std::string::npos;
}

// Names that stay below the folder they are extracted into, on every system.
bool IsSafeRelativeName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find_first_of("\\:") != std::string::npos)
        return false;
    size_t start = 0;
    for (;;) {
        const size_t end = name.find('/', start);
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "..")
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

std::vector<TPackEntry> CollectFolder(const fs::path& folder, const fs::path& exclude) {
    if (!fs::is_directory(folder))
        throw TError(folder.string() + " is not a folder");
    std::vector<std::string> names;
    std::map<std::string, fs::path> files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (!item.is_regular_file())
            continue;
        std::error_code ignored;
        if (!exclude.empty() && fs::equivalent(item.path(), exclude, ignored))
            continue;
        const std::string name = item.path().lexically_relative(folder).generic_string();
        if (!IsStorableName(name))
            throw TError("Cannot store \"" + name + "\": a name must not contain '=', CR or LF");
        names.push_back(name);
        files[name] = item.path();
    }
    if (names.empty())
        throw TError(folder.string() + " holds no file");
    std::vector<TPackEntry> entries;
    for (const std::string& name : OrderEntryNames(names))
        entries.push_back({name, files[name]});
    return entries;
}

int Build(const TCommandLine& line, std::ostream& out) {
    const fs::path viewer = line.options.at("--viewer");
    const fs::path book = line.options.at("--out");
    const bool digest = line.options.count("--digest") > 0;

    {
        auto viewerFile = TFileStream::OpenShared(viewer.string());
        if (CarriesPackageTrailer(*viewerFile))
            throw TError(viewer.string() + " already carries a package");
    }
    const std::vector<TPackEntry> entries = CollectFolder(line.positional[0], book);
    const int64_t total =
        static_cast<int64_t>(fs::file_size(viewer)) + PackageSize(entries, digest);
    if (total >= (int64_t{1} << 31))
        throw TError("The book would reach 2 GiB (" + std::to_string(total) + " bytes)");

    // Written beside the book and renamed into place: a failure never leaves half a book.
    fs::path temporary = book;
    temporary += ".partial";
    try {
        {
            std::ofstream result(temporary, std::ios::binary | std::ios::trunc);
            std::ifstream image(viewer, std::ios::binary);
            if (!result || !image)
                throw TError("Cannot write " + temporary.string());
            result << image.rdbuf();
            WritePackage(result, entries, digest);
            result.close();
            if (!result)
                throw TError("Cannot write " + temporary.string());
        }
        fs::rename(temporary, book);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    out << book.string() << ": " << entries.size() << " files packed"
        << (digest ? " with digest" : "") << "\n";
    return PackExit::kOk;
}

// The index lines of a book that name one of its entries, in index order.
struct TNamedEntry {
    int32_t number;
    std::string name;
};
std::vector<TNamedEntry> NamedEntries(const TExeExtReader& reader) {
    std::vector<TNamedEntry> named;
    if (reader.Count() == 0)
        return named;
    for (const TIndexLine& line : ParseIndex(reader.ReadEntryText(0))) {
        const int32_t number = IntFromText(line.value, 0);
        if (number > 0 && number < reader.Count())
            named.push_back({number, line.name});
    }
    return named;
}

// A reader of a book that exists and can be opened; raises otherwise.
TExeExtReader OpenBook(const std::string& book) {
    TFileStream::OpenShared(book);
    return TExeExtReader(book);
}

int List(const TCommandLine& line, std::ostream& out) {
    const TExeExtReader reader = OpenBook(line.positional[0]);
    for (const TNamedEntry& entry : NamedEntries(reader))
        out << entry.number << '\t' << reader.Sizes()[static_cast<size_t>(entry.number)] << '\t'
            << entry.name << '\n';
    return PackExit::kOk;
}

int Cat(const TCommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& book = line.positional[0];
    const std::string& name = line.positional[1];
    auto stream = GetPackageStream(name, book);
    if (!stream) {
        err << "leafturn-pack: " << book << ": no entry named \"" << name << "\"\n";
        return PackExit::kUnusable;
    }
    out.write(reinterpret_cast<const char*>(stream->Memory()),
              static_cast<std::streamsize>(stream->Size()));
    return PackExit::kOk;
}

int Extract(const TCommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& book = line.positional[0];
    const fs::path folder = line.positional[1];
    const TExeExtReader reader = OpenBook(book);
    std::set<std::string> done; // lower-cased: the viewer finds only the first of equal names
    int refused = 0;
    for (const TNamedEntry& entry : NamedEntries(reader)) {
        if (!done.insert(AsciiLower(entry.name)).second)
            continue;
        if (!IsSafeRelativeName(entry.name)) {
            err << "leafturn-pack: refused \"" << entry.name << "\": it would leave "
                << folder.string() << "\n";
            ++refused;
            continue;
        }
        TMemoryStream bytes;
        reader.ReadEntry(entry.number, bytes);
        const fs::path target = folder / fs::path(entry.name);
        fs::create_directories(target.parent_path());
        std::ofstream file(target, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.Memory()),
                   static_cast<std::streamsize>(bytes.Size()));
        if (!file)
            throw TError("Cannot write " + target.string());
        out << entry.name << "\n";
    }
    return refused ? PackExit::kUnusable : PackExit::kOk;
}

int Verify(const TCommandLine& line, std::ostream& out) {
    const TExeExtReader reader = OpenBook(line.positional[0]);
    int64_t total = 0;
    for (int32_t size : reader.Sizes())
        total += size;
    if (reader.Count() > 0 && total != reader.ContentRegionSize())
        throw TError("The entry sizes add up to " + std::to_string(total) +
                     " bytes, but the content region holds " +
                     std::to_string(reader.ContentRegionSize()));
    out << reader.Count() << " entries, " << total
        << " content bytes, digest: " << (reader.HasDigest() ? "ok" : "none") << "\n";
    return PackExit::kOk;
}

} // namespace

int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << kMainHelp;
        return args.empty() ? PackExit::kUsage : PackExit::kOk;
    }
    const std::string& command = args[0];
    const auto help = kCommandHelp.find(command);
    if (help == kCommandHelp.end()) {
        err << "leafturn-pack: unknown command \"" << command << "\"\n" << kMainHelp;
        return PackExit::kUsage;
    }
    const std::vector<std::string> words(args.begin() + 1, args.end());
    for (const std::string& word : words)
        if (word == "--help" || word == "-h") {
            out << help->second;
            return PackExit::kOk;
        }
    try {
        if (command == "build")
            return Build(ParseCommandLine(words, {"--viewer", "--out"}, {"--digest"}, 1), out);
        if (command == "list")
            return List(ParseCommandLine(words, {}, {}, 1), out);
        if (command == "cat")
            return Cat(ParseCommandLine(words, {}, {}, 2), out, err);
        if (command == "extract")
            return Extract(ParseCommandLine(words, {}, {}, 2), out, err);
        return Verify(ParseCommandLine(words, {}, {}, 1), out);
    } catch (const TUsageError& e) {
        err << "leafturn-pack " << command << ": " << e.Message() << "\n" << help->second;
        return PackExit::kUsage;
    } catch (const std::exception& e) {
        err << "leafturn-pack " << command << ": " << e.what() << "\n";
        return PackExit::kUnusable;
    }
}
