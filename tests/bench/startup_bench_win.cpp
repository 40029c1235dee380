// Start-up to the first frame: the viewer with a book, from process start until its first page is
// on screen, against a bare Win32 window started the same way until it is on screen. Both are
// started, watched and closed by the same code in the same run, turn about.
//   startup_bench BOOK BARE-WINDOW-EXE [RUNS]
//     BOOK's player control (the stand-in, registered) draws its first frame: its log tells; the
//     bare window is shown.
//   startup_bench --pages VIEWER BARE-WINDOW-EXE [RUNS]
//     Books of 4 and of 1000 pages (100 kB each), packed now behind VIEWER without a digest, and
//     the 1000 pages with one, shown by the viewer's own control: the cover's colour on screen
//     tells, as the bare window's, which is filled with it. VIEWER as it is installed, without
//     debug information: the loader reads that in with the image.
// Under wine64.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "pageturn/book_view.h"
#include "tools/drive/png.h"
#include "tools/drive/viewer_driver_win.h"
#include "tools/pack/package_writer.h"

namespace {

using TClock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median of times[i] / anchors[i]: each run against the anchor's run beside it, so that the
// machine's load, which drifts over a benchmark, weighs alike on both.
double PairedRatio(const std::vector<double>& times, const std::vector<double>& anchors) {
    std::vector<double> ratios;
    for (size_t i = 0; i < times.size() && i < anchors.size(); ++i)
        ratios.push_back(times[i] / anchors[i]);
    return Median(ratios);
}

double Milliseconds(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

// Milliseconds from starting program until shown() holds, or a negative value.
double TimeStart(const std::string& program, const std::string& log, const char* className,
                 const std::function<bool(TViewerProcess&)>& shown) {
    const auto start = TClock::now();
    TViewerProcess process(program, log);
    const bool ok = process.WaitForWindow(std::chrono::seconds(15), className) &&
                    WaitUntil([&] { return shown(process); }, std::chrono::seconds(15),
                              std::chrono::milliseconds(1));
    const double elapsed = Milliseconds(start);
    DWORD code;
    process.Close(code);
    return ok ? elapsed : -1;
}

// The colour of every page of the books, and of the bare window's client area.
constexpr COLORREF kCover = RGB(40, 110, 170);

// The bare window until it shows, or when painted, until its colour is on screen in the middle.
double TimeBare(const std::string& bare, bool painted) {
    return TimeStart(bare, "", "BareWindow", [painted](TViewerProcess& window) {
        if (!painted)
            return true;
        RECT client;
        GetClientRect(window.MainWindow(), &client);
        const POINT at =
            ClientToScreenPoint(window.MainWindow(), client.right / 2, client.bottom / 2);
        return ScreenPixel(at.x, at.y) == kCover;
    });
}

// A book of pages pictures of the cover's colour, 100 kB each, in a window of 800 x 600.
std::string MakeBook(const std::string& viewer, const std::string& folder, int pages, bool digest) {
    const std::string picture = folder + "\\page.png";
    {
        const int w = 200, h = 170;
        std::vector<uint8_t> rgb;
        for (int i = 0; i < w * h; ++i)
            rgb.insert(rgb.end(), {GetRValue(kCover), GetGValue(kCover), GetBValue(kCover)});
        std::ofstream(picture, std::ios::binary) << EncodePng(w, h, rgb);
    }
    std::string list = "<book title=\"Start\">";
    std::vector<TPackEntry> entries;
    for (int i = 0; i < pages; ++i) {
        std::string name = "page/";
        name += std::to_string(i);
        name += ".png";
        list += "<page src=\"" + name + "\"/>";
        entries.push_back({"files/" + name, std::filesystem::path(picture)});
    }
    entries.push_back({"files/book.xml", list + "</book>"});
    entries.push_back(
        {"ExeConfig.xml",
         std::string("<ExeConfig><ExeCaption>Start</ExeCaption><WindowOpenMode>1</WindowOpenMode>"
                     "<WindowOpenWidth>800</WindowOpenWidth><WindowOpenHeight>600"
                     "</WindowOpenHeight></ExeConfig>")});
    const std::string book =
        folder + "\\book-" + std::to_string(pages) + (digest ? "-d.exe" : ".exe");
    std::ofstream out(book, std::ios::binary);
    out << std::ifstream(viewer, std::ios::binary).rdbuf();
    WritePackage(out, entries, digest);
    return book;
}

// Whether the cover shows in the middle of its place in the viewer's window.
bool CoverShown(TViewerProcess& viewer) {
    RECT client;
    GetClientRect(viewer.MainWindow(), &client);
    TBookView view;
    view.SetArea({0, 0, client.right - 2, client.bottom - 2}); // inside the panel's bevel
    view.SetPageCount(2);
    view.SetPageShape(200, 170);
    const TRect slot = view.Layout().Slot(TPageSide::Right);
    const POINT at = ClientToScreenPoint(viewer.MainWindow(), 1 + (slot.left + slot.right) / 2,
                                         1 + (slot.top + slot.bottom) / 2);
    return ScreenPixel(at.x, at.y) == kCover;
}

int Pages(const std::string& viewer, const std::string& bare, int runs) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "leafturn-startup-bench";
    std::filesystem::create_directories(folder);
    struct TBook {
        const char* name;
        std::string path;
        uint64_t bytes;
        std::vector<double> times, bareTimes;
    };
    std::vector<TBook> books;
    for (auto [pages, digest] : {std::pair{4, false}, {1000, false}, {1000, true}}) {
        const std::string path = MakeBook(viewer, folder, pages, digest);
        books.push_back({pages == 4 ? "4 pages"
                         : digest   ? "1000 pages, digest"
                                    : "1000 pages",
                         path,
                         std::filesystem::file_size(path),
                         {},
                         {}});
    }
    // Each run starts with another book: what the one before leaves behind weighs on all alike.
    for (int run = 0; run < runs; ++run)
        for (size_t i = 0; i < books.size(); ++i) {
            TBook& book = books[(run + i) % books.size()];
            const double time = TimeStart(book.path, "", "LeafturnWindow", CoverShown);
            if (time < 0) {
                std::fprintf(stderr, "startup_bench: %s showed no cover\n", book.name);
                return 1;
            }
            book.times.push_back(time);
            book.bareTimes.push_back(TimeBare(bare, true));
        }
    std::printf("start-up to the cover on screen, medians of %d runs (the ratio: of each run to "
                "the bare window's right after it):\n",
                runs);
    const double four = Median(books[0].times);
    for (const TBook& book : books) {
        const double time = Median(book.times), anchor = Median(book.bareTimes);
        std::printf(
            "  %-20s %7.1f ms  bare window %6.1f ms  ratio %.2f  (%.1f MB)  / 4 pages %.2f\n",
            book.name, time, anchor, PairedRatio(book.times, book.bareTimes), book.bytes / 1e6,
            time / four);
    }
    std::filesystem::remove_all(folder);
    return 0;
}

int Standin(const std::string& book, const std::string& bare, int runs) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string log = std::string(temp) + "leafturn-startup.log";
    std::vector<double> viewerTimes, bareTimes;
    for (int run = 0; run < runs; ++run) {
        DeleteFileA(log.c_str());
        const double time = TimeStart(book, log, "LeafturnWindow", [&](TViewerProcess&) {
            return ReadTextFile(log).find("Draw(aspect=32") != std::string::npos;
        });
        if (time < 0) {
            std::fprintf(stderr, "startup_bench: the viewer drew no frame\n");
            return 1;
        }
        viewerTimes.push_back(time);
        // The control's first frame is drawn before it reaches the screen: the bare window's
        // start ends as soon as it shows.
        bareTimes.push_back(TimeBare(bare, false));
    }
    std::printf("start-up to first frame, median of %d: viewer %.1f ms, bare window %.1f ms, "
                "ratio %.2f (of each run to the bare window's right after it)\n",
                runs, Median(viewerTimes), Median(bareTimes), PairedRatio(viewerTimes, bareTimes));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool pages = argc > 1 && std::string(argv[1]) == "--pages";
    const int first = pages ? 2 : 1;
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: startup_bench BOOK BARE-WINDOW-EXE [RUNS]\n"
                             "       startup_bench --pages VIEWER BARE-WINDOW-EXE [RUNS]\n");
        return 2;
    }
    const int runs = argc > first + 2 ? std::max(1, std::atoi(argv[first + 2])) : 9;
    try {
        return pages ? Pages(argv[first], argv[first + 1], runs)
                     : Standin(argv[first], argv[first + 1], runs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "startup_bench: %s\n", error.what());
        return 1;
    }
}
