#include "tools/pack/pack_commands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "base/int_from_text.h"
#include "base/platform.h"
#include "base/streams.h"
#include "base/text.h"
#include "lib/MyLib/ExeExt.h"
#include "package/PackageLookup.h"
#include "tools/pack/book_pages.h"
#include "tools/pack/pack_errors.h"
#include "tools/pack/package_writer.h"
#include "tools/pack/pdf_pages.h"
#include "tools/pack/signing.h"

namespace fs = std::filesystem;

namespace {

const char kMainHelp[] = "usage: leafturn-pack COMMAND [ARGS]\n"
                         "\n"
                         "Commands:\n"
                         "  build    append a folder to a copy of the viewer, making a book\n"
                         "  pages    make a book from page images or a PDF\n"
                         "  list     list the entries of a book\n"
                         "  cat      write one entry of a book to standard output\n"
                         "  extract  write every entry of a book below a folder\n"
                         "  verify   check a book's package and digest\n"
                         "\n"
                         "'leafturn-pack COMMAND --help' describes a command.\n";

const std::map<std::string, std::string> kCommandHelp = {
    {"build",
     "usage: leafturn-pack build --viewer VIEWER --out BOOK [--digest] [--sign CERT KEY] FOLDER\n"
     "Copies VIEWER to BOOK and appends every regular file below FOLDER, named by its path\n"
     "relative to FOLDER with '/' separators. book.swf, ExeConfig.xml and files/book.xml come\n"
     "first, the rest sorted by name. --digest adds a digest of the content that the viewer\n"
     "verifies. --sign signs BOOK with the certificate and key in PEM files CERT and KEY\n"
     "(osslsigncode). BOOK is written completely or not at all.\n"},
    {"pages",
     "usage: leafturn-pack pages --out BOOK [--viewer VIEWER] [--title TEXT]\n"
     "           [--open fixed:WxH|maximized|fullscreen] [--large DIR] [--digest]\n"
     "           [--sign CERT KEY] (PAGE... | --pdf FILE [--dpi N])\n"
     "Makes a book of pages. PAGE is a PNG, JPEG, GIF, BMP or TIFF image, known by its first\n"
     "bytes, or a folder of them, taken in natural order (2.png before 10.png, letter case\n"
     "ignored); a folder's other files are skipped and named. --pdf renders the pages of FILE\n"
     "at N dots per inch (default 150). --large DIR adds DIR's images of the same names as the\n"
     "pages' large images. --title (default: the first folder's name) and --open (default:\n"
     "maximized) go into the window configuration. VIEWER defaults to leafturn.exe beside\n"
     "leafturn-pack. --digest and --sign as for build.\n"},
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
    std::map<std::string, std::vector<std::string>> options; // "--sign" -> {CERT, KEY}

    bool Has(const std::string& option) const { return options.count(option) > 0; }
    // The option's first value; a usage error when the option was not given.
    const std::string& Value(const std::string& option) const {
        const auto found = options.find(option);
        if (found == options.end())
            throw TUsageError(option + " is required");
        return found->second.front();
    }
};

// known: every option of the command and how many values it takes.
TCommandLine ParseCommandLine(const std::vector<std::string>& words,
                              const std::map<std::string, int>& known, size_t fewestPositional,
                              size_t mostPositional) {
    TCommandLine line;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const auto option = known.find(word);
        if (option != known.end()) {
            const size_t count = static_cast<size_t>(option->second);
            if (words.size() - i - 1 < count)
                throw TUsageError(word + " needs " + (count == 1 ? "a value" : "values"));
            line.options[word].assign(words.begin() + static_cast<ptrdiff_t>(i) + 1,
                                      words.begin() + static_cast<ptrdiff_t>(i + count) + 1);
            i += count;
        } else if (word.size() > 1 && word[0] == '-') {
            throw TUsageError("unknown option " + word);
        } else {
            line.positional.push_back(word);
        }
    }
    if (line.positional.size() < fewestPositional || line.positional.size() > mostPositional)
        throw TUsageError(fewestPositional == mostPositional
                              ? "expected " + std::to_string(fewestPositional) + " argument" +
                                    (fewestPositional == 1 ? "" : "s")
                              : "expected at least " + std::to_string(fewestPositional) +
                                    " argument" + (fewestPositional == 1 ? "" : "s"));
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

constexpr int64_t kBookLimit = int64_t{1} << 31;

// Where and how a book is written.
struct TBookOutput {
    fs::path viewer;
    fs::path book;
    bool digest = false;
    std::optional<TSigningKey> signing;
};

TBookOutput BookOutput(const TCommandLine& line, const fs::path& viewer) {
    TBookOutput output{viewer, line.Value("--out"), line.Has("--digest"), std::nullopt};
    if (line.Has("--sign")) {
        CheckSigningTool();
        const std::vector<std::string>& files = line.options.at("--sign");
        for (const std::string& file : files)
            if (!fs::is_regular_file(file))
                throw TError("Cannot read " + file);
        output.signing = TSigningKey{files[0], files[1]};
    }
    auto viewerFile = TFileStream::OpenShared(viewer.string());
    if (CarriesPackageTrailer(*viewerFile))
        throw TError(viewer.string() + " already carries a package");
    if (FindCertificateTable(*viewerFile))
        throw TError(viewer.string() + " is signed, and a package behind its signature would "
                                       "break it: give the viewer unsigned, and --sign the book");
    return output;
}

// A file, or a folder this program made, removed whatever happens.
class TScratch {
public:
    explicit TScratch(fs::path path, bool folder = false)
        : path_(std::move(path)), folder_(folder) {}
    ~TScratch() {
        std::error_code ignored;
        folder_ ? fs::remove_all(path_, ignored) : fs::remove(path_, ignored);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
    bool folder_;
};

fs::path Beside(const fs::path& book, const char* suffix) {
    fs::path path = book;
    path += suffix;
    return path;
}

void WriteBook(const TBookOutput& output, const std::vector<TPackEntry>& entries) {
    const int64_t viewerSize = static_cast<int64_t>(fs::file_size(output.viewer));
    const int64_t packageSize = PackageSize(entries, output.digest);
    // The book ends on an 8-byte boundary, so that a signature (which starts on one) follows
    // the package directly, where the reader looks for it.
    const int64_t padding = (8 - (viewerSize + packageSize) % 8) % 8;
    const int64_t total = viewerSize + padding + packageSize;
    if (total >= kBookLimit)
        throw TError("The book would reach 2 GiB (" + std::to_string(total) + " bytes)");

    // Written beside the book and renamed into place: a failure never leaves half a book.
    const TScratch temporary(Beside(output.book, ".partial"));
    std::optional<TScratch> unsignedBook;
    if (output.signing)
        unsignedBook.emplace(Beside(output.book, ".unsigned"));
    const fs::path& written = unsignedBook ? unsignedBook->Path() : temporary.Path();
    {
        std::ofstream result(written, std::ios::binary | std::ios::trunc);
        std::ifstream image(output.viewer, std::ios::binary);
        if (!result || !image)
            throw TError("Cannot write " + written.string());
        result << image.rdbuf();
        result.write("\0\0\0\0\0\0\0", padding);
        WritePackage(result, entries, output.digest);
        result.close();
        if (!result)
            throw TError("Cannot write " + written.string());
    }
    if (output.signing) {
        // osslsigncode refuses to overwrite what a run cut short may have left.
        fs::remove(temporary.Path());
        SignExecutable(written.string(), temporary.Path().string(), *output.signing);
        if (!TExeExtReader(temporary.Path().string()).IsSigned())
            throw TError("The signed book does not keep its package before its signature");
        if (static_cast<int64_t>(fs::file_size(temporary.Path())) >= kBookLimit)
            throw TError("The signed book would reach 2 GiB");
    }
    fs::rename(temporary.Path(), output.book);
}

std::string Packed(const TBookOutput& output, size_t count, const char* what) {
    return output.book.string() + ": " + std::to_string(count) + " " + what + " packed" +
           (output.digest ? " with digest" : "") + (output.signing ? ", signed" : "") + "\n";
}

int Build(const TCommandLine& line, std::ostream& out) {
    const TBookOutput output = BookOutput(line, line.Value("--viewer"));
    const std::vector<TPackEntry> entries = CollectFolder(line.positional[0], output.book);
    WriteBook(output, entries);
    out << Packed(output, entries.size(), "files");
    return PackExit::kOk;
}

fs::path DefaultViewer() {
    const fs::path viewer = OwnExecutableDirectory() + "leafturn.exe";
    if (!fs::is_regular_file(viewer))
        throw TMissingPrerequisite("no viewer: " + viewer.string() +
                                   " does not exist; give one with --viewer");
    return viewer;
}

// The name of the folder, also when it is given as "." or with a separator at its end.
std::string FolderName(const std::string& folder) {
    fs::path path = fs::absolute(folder).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    return Utf8(path.filename());
}

int Pages(const TCommandLine& line, std::ostream& out, std::ostream& err) {
    const bool pdf = line.Has("--pdf");
    if (pdf == !line.positional.empty())
        throw TUsageError(pdf ? "give page images or --pdf, not both" : "no pages given");
    if (!pdf && line.Has("--dpi"))
        throw TUsageError("--dpi is for --pdf");
    if (pdf && line.Has("--large"))
        throw TUsageError("--large is for page images");
    if (pdf)
        CheckPdfRenderer();
    int dpi = kDefaultPdfDpi;
    if (line.Has("--dpi")) {
        const auto value = DecimalIn(line.Value("--dpi"), kMinPdfDpi, kMaxPdfDpi);
        if (!value)
            throw TUsageError("--dpi takes " + std::to_string(kMinPdfDpi) + " to " +
                              std::to_string(kMaxPdfDpi));
        dpi = *value;
    }
    TWindowOpen open;
    if (line.Has("--open")) {
        const auto parsed = ParseWindowOpen(line.Value("--open"));
        if (!parsed)
            throw TUsageError("--open takes fixed:WxH (1 to 32767 pixels each), maximized or "
                              "fullscreen");
        open = *parsed;
    }
    std::optional<std::string> title;
    if (line.Has("--title")) {
        title = TextFromArgument(line.Value("--title"));
        if (!IsTitleText(*title))
            throw TUsageError("--title must be text without control characters");
    }
    const TBookOutput output =
        BookOutput(line, line.Has("--viewer") ? fs::path(line.Value("--viewer")) : DefaultViewer());

    std::vector<TPageImage> pages;
    std::optional<TScratch> rendered;
    if (pdf) {
        const std::string& file = line.Value("--pdf");
        const fs::path folder = Beside(output.book, ".pages");
        if (!fs::create_directory(folder))
            throw TError(folder.string() + " is in the way");
        rendered.emplace(folder, true);
        const TRenderedPdf document = RenderPdfPages(file, dpi, folder, err);
        for (const fs::path& page : document.pages)
            pages.push_back({page, "png", std::nullopt, ""});
        if (!title)
            title = IsTitleText(document.title) && !document.title.empty()
                        ? document.title
                        : Utf8(fs::path(file).stem());
    } else {
        pages = CollectPageImages(line.positional, err);
        if (line.Has("--large"))
            AddLargeImages(pages, line.Value("--large"), err);
        if (!title) {
            const auto folder =
                std::find_if(line.positional.begin(), line.positional.end(),
                             [](const std::string& p) { return fs::is_directory(p); });
            title =
                folder != line.positional.end() ? FolderName(*folder) : Utf8(output.book.stem());
        }
    }
    if (!IsTitleText(*title))
        throw TUsageError("the title \"" + *title + "\" holds control characters; use --title");
    WriteBook(output, PageBookEntries(*title, open, pages));
    out << Packed(output, pages.size(), "pages");
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
        << " content bytes, digest: " << (reader.HasDigest() ? "ok" : "none")
        << (reader.IsSigned() ? ", signed" : "") << "\n";
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
            return Build(
                ParseCommandLine(
                    words, {{"--viewer", 1}, {"--out", 1}, {"--digest", 0}, {"--sign", 2}}, 1, 1),
                out);
        if (command == "pages")
            return Pages(ParseCommandLine(words,
                                          {{"--out", 1},
                                           {"--viewer", 1},
                                           {"--title", 1},
                                           {"--open", 1},
                                           {"--large", 1},
                                           {"--digest", 0},
                                           {"--sign", 2},
                                           {"--pdf", 1},
                                           {"--dpi", 1}},
                                          0, SIZE_MAX),
                         out, err);
        if (command == "list")
            return List(ParseCommandLine(words, {}, 1, 1), out);
        if (command == "cat")
            return Cat(ParseCommandLine(words, {}, 2, 2), out, err);
        if (command == "extract")
            return Extract(ParseCommandLine(words, {}, 2, 2), out, err);
        return Verify(ParseCommandLine(words, {}, 1, 1), out);
    } catch (const TUsageError& e) {
        err << "leafturn-pack " << command << ": " << e.Message() << "\n" << help->second;
        return PackExit::kUsage;
    } catch (const TMissingPrerequisite& e) {
        err << "leafturn-pack " << command << ": " << e.Message() << "\n";
        return PackExit::kUsage;
    } catch (const std::exception& e) {
        err << "leafturn-pack " << command << ": " << e.what() << "\n";
        return PackExit::kUnusable;
    }
}
