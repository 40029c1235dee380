// The built-in page-turning control hosted by the player, in a 1920 x 1080 window.
//   pageturn_bench [ROUNDS]
//     Frames: a spread of two 960 x 1080 pages drawn anew in full by the control and composed by
//     the host (the anchor), the same frame when the control's picture has not changed, and
//     the frames of a turn (a clock of its own steps 1/60 s per frame), each repainting what
//     the leaf touched. Medians of the rounds, and the turn's frames per second.
//   pageturn_bench --memory [PAGES]
//     Pages through a book of PAGES (1000) pictures of 2000 x 3000 pixels (one JPEG, written
//     now, stored for every page) turn by turn to the end and back, and reports the process's
//     private bytes at their highest against the budget.
// Under wine64, on a screen of at least 1920 x 1080 plus the caption.
//   pageturn_bench [ROUNDS]   (31 by default: each frame of each direction is timed at least
//                               15 times, so that the highest of the frames' medians is the
//                               heaviest frame's, not the noise's)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include <wincodec.h>

#include "base/errors.h"
#include "pageturn/pageturn_control_win.h"
#include "pageturn/pageturn_object_win.h"
#include "qel/player/qel_flash.h"
#include "qel/qel_units.h"
#include "tools/drive/png.h"
#include "tools/drive/viewer_driver_win.h"
#include "tools/pack/package_writer.h"
#include "ui/application_win.h"
#include "ui/forms_win.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;
// The private bytes paging through the book may take at most.
constexpr double kMemoryBudgetMiB = 128;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Seconds(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

double PrivateMiB() {
    return PrivateBytes(GetCurrentProcess()) / 1048576.0;
}

// A page of 960 x 1080: paper, a picture block and lines of "text".
std::string PagePng(int index) {
    const int w = 960, h = 1080;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            int r = 247, g = 243, b = 234;
            if (y > 120 && y < 520 && x > 80 && x < 880) {
                r = 60 + (x * 120) / w;
                g = 100 + (y * 80) / h + index * 10 % 60;
                b = 180 - (x * 60) / w;
            } else if (y > 580 && y < 1000 && (y / 14) % 2 == 0 && x > 80 &&
                       x < 880 - (y % 7) * 30) {
                r = g = b = 70;
            }
            p[0] = uint8_t(r);
            p[1] = uint8_t(g);
            p[2] = uint8_t(b);
        }
    return EncodePng(w, h, rgb);
}

// prefix, the number, suffix: built by appending (a literal added to a temporary string makes
// the i686 compiler warn of overlapping copies).
std::string Numbered(const char* prefix, int number, const char* suffix) {
    std::string text = prefix;
    text += std::to_string(number);
    text += suffix;
    return text;
}

std::string TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "leafturn-pageturn-bench";
    std::filesystem::create_directories(folder);
    return folder;
}

// A viewer image stand-in followed by a package of the entries.
std::string WriteBook(const std::string& path, const std::vector<TPackEntry>& entries) {
    std::ofstream out(path, std::ios::binary);
    out << "MZ";
    WritePackage(out, entries, false);
    return path;
}

std::string PageList(int pages, const char* extension) {
    std::string xml = "<book title=\"Bench\">";
    for (int i = 0; i < pages; ++i)
        xml += Numbered("<page src=\"page/", i, extension) + "\"/>";
    return xml + "</book>";
}

// A form whose client is 1920 x 1080 with the player on it, the control's clock in hand.
struct THost {
    TApplication application;
    TForm* form = nullptr;
    double now = 0;

    THost() {
        form = new TForm(nullptr);
        RECT outer{0, 0, kWidth, kHeight};
        AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
        form->SetBounds(0, 0, outer.right - outer.left, outer.bottom - outer.top);
        form->Show();
        application.ProcessMessages();
    }
    ~THost() { delete form; }
    bool Ready() const { return form->ClientWidth() >= kWidth && form->ClientHeight() >= kHeight; }
};

// A player with the built-in control on the whole of the host's window, the book loaded, the
// control's clock the host's.
struct TBook {
    THost& host;
    TqelFlashPlayer* player = nullptr;
    TPageTurnControl* control = nullptr;

    TBook(THost& owner, const std::string& book) : host(owner) {
        player = new TqelFlashPlayer(host.form, PageTurnClassObject(), book);
        player->SetParent(host.form);
        player->SetBounds(0, 0, kWidth, kHeight);
        control = TPageTurnControl::Of(player->HostedObject());
        if (!control)
            throw TError("the built-in control is missing");
        control->SetClock([this] { return host.now; });
        player->LoadMovieUrl(0, L"book.swf");
        Settle();
    }
    void Settle() {
        while (control->RunPendingWork()) {
        }
        host.application.ProcessMessages();
    }
    // Turns one spread, the clock stepping by step; calls frame after each step.
    void Turn(WPARAM key, const std::function<void()>& frame = {}, double step = 1.0 / 60) {
        player->Perform(WM_KEYDOWN, key, 0);
        while (control->View().Turn()) {
            host.now += step;
            control->Tick();
            if (frame)
                frame();
        }
        Settle();
    }
};

int Frames(int rounds) {
    const std::string folder = TempFolder();
    std::vector<TPackEntry> entries = {{"files/book.xml", PageList(5, ".png")}};
    for (int i = 0; i < 5; ++i)
        entries.push_back({Numbered("files/page/", i, ".png"), PagePng(i)});
    const std::string path = WriteBook(folder + "\\frames.exe", entries);
    THost host;
    if (!host.Ready()) {
        std::fprintf(stderr, "pageturn_bench: the window's client is too small\n");
        return 1;
    }
    // Two players of the same book on the same window: one at rest (the anchor), one turning.
    TBook still(host, path), turning(host, path);
    still.Turn(VK_RIGHT); // the first spread of two pages
    turning.Turn(VK_RIGHT);
    host.now += 10; // the bar shown at the start has faded
    still.control->Tick();
    turning.control->Tick();
    const auto timed = [](const std::function<void()>& frame) {
        const auto start = TClock::now();
        frame();
        GdiFlush();
        return Seconds(start) * 1000;
    };
    const auto anew = [&] { still.control->RedrawAll(); };
    const auto unchanged = [&] { still.player->InvalidateRect(nullptr, FALSE); };
    for (int i = 0; i < 5; ++i)
        timed(anew); // warming up
    // Every frame of a turn is timed right after a frame of the anchor, so that the load of the
    // machine weighs alike on both. The mean ratio is taken turn by turn; the heaviest frame is
    // the frame (by direction and number) whose ratio has the highest median over the rounds, as
    // the largest of one turn's noisy ratios would overstate it.
    std::vector<double> anewTimes, unchangedTimes, turnTimes, ratios;
    std::vector<std::vector<double>> frameRatios[2], frameTimes[2]; // [backward][frame]
    for (int round = 0; round < rounds; ++round) {
        const bool forward = round % 2 == 0;
        double anchorSum = 0, turnSum = 0;
        int frames = 0;
        double anchor = timed(anew);
        auto last = TClock::now();
        turning.player->Perform(WM_KEYDOWN, forward ? VK_RIGHT : VK_LEFT, 0);
        while (turning.control->View().Turn()) {
            host.now += 1.0 / 60;
            turning.control->Tick();
            GdiFlush();
            const double turn = Seconds(last) * 1000;
            anchorSum += anchor;
            turnSum += turn;
            auto& byFrame = frameRatios[forward ? 0 : 1];
            auto& timesByFrame = frameTimes[forward ? 0 : 1];
            if (byFrame.size() <= size_t(frames)) {
                byFrame.resize(size_t(frames) + 1);
                timesByFrame.resize(size_t(frames) + 1);
            }
            byFrame[size_t(frames)].push_back(turn / anchor);
            timesByFrame[size_t(frames)].push_back(turn);
            ++frames;
            anchor = timed(anew);
            unchangedTimes.push_back(timed(unchanged));
            last = TClock::now();
        }
        turning.Settle();
        anewTimes.push_back(anchorSum / frames);
        turnTimes.push_back(turnSum / frames);
        ratios.push_back(turnSum / anchorSum);
    }
    const double full = Median(anewTimes), turn = Median(turnTimes);
    std::printf("page turning at 1920x1080, two 960x1080 pages, medians of %d turns:\n", rounds);
    std::printf("  full frame drawn anew   %7.2f ms  %6.1f frames/s   (the anchor)\n", full,
                1000 / full);
    std::printf("  full frame unchanged    %7.2f ms\n", Median(unchangedTimes));
    std::printf("  turn frame, mean        %7.2f ms  %6.1f frames/s   turn / full %.2f "
                "(target <= 1.5)\n",
                turn, 1000 / turn, Median(ratios));
    double heaviest = 0, heaviestTime = 0;
    int heaviestFrame = 0, heaviestBackward = 0;
    for (int backward = 0; backward < 2; ++backward) {
        std::printf("  %s, frame by frame / its anchor:", backward ? "back" : "forward");
        for (size_t frame = 0; frame < frameRatios[backward].size(); ++frame) {
            const double ratio = Median(frameRatios[backward][frame]);
            std::printf(" %.2f", ratio);
            if (ratio > heaviest) {
                heaviest = ratio;
                heaviestTime = Median(frameTimes[backward][frame]);
                heaviestFrame = int(frame);
                heaviestBackward = backward;
            }
        }
        std::printf("\n");
    }
    std::printf("  turn frame, heaviest    %7.2f ms  %6.1f frames/s   heaviest / its anchor %.2f "
                "(target <= 1.5; %s, frame %d)\n",
                heaviestTime, 1000 / heaviestTime, heaviest, heaviestBackward ? "back" : "forward",
                heaviestFrame + 1);
    return 0;
}

// One JPEG of 2000 x 3000 pixels: a page in a few flat colours, so that it stays small.
std::string PageJpeg() {
    const UINT w = 2000, h = 3000;
    std::vector<uint8_t> bgr(size_t(w) * h * 3);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            uint8_t* p = &bgr[(size_t(y) * w + x) * 3];
            const bool block = y > 300 && y < 1400 && x > 200 && x < 1800;
            const bool line = y > 1600 && y < 2800 && (y / 40) % 2 == 0 && x > 200 && x < 1800;
            p[0] = block ? 180 : line ? 70 : 234;
            p[1] = block ? 120 : line ? 70 : 243;
            p[2] = block ? 60 : line ? 70 : 247;
        }
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IStream> stream;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(w, h)))
        return "";
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) ||
        FAILED(frame->WritePixels(h, w * 3, UINT(bgr.size()), bgr.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return "";
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(size_t(stat.cbSize.QuadPart), '\0');
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), ULONG(bytes.size()), &read);
    return bytes;
}

int Memory(int pages) {
    const std::string folder = TempFolder();
    const std::string jpeg = PageJpeg();
    if (jpeg.empty()) {
        std::fprintf(stderr, "pageturn_bench: no JPEG encoder\n");
        return 1;
    }
    const std::string picture = folder + "\\page.jpg";
    std::ofstream(picture, std::ios::binary) << jpeg;
    std::vector<TPackEntry> entries = {{"files/book.xml", PageList(pages, ".jpg")}};
    for (int i = 0; i < pages; ++i)
        entries.push_back({Numbered("files/page/", i, ".jpg"), std::filesystem::path(picture)});
    const std::string book = WriteBook(folder + "\\memory.exe", entries);
    const double before = PrivateMiB();
    double peak = 0;
    const auto start = TClock::now();
    int turns = 0;
    {
        THost host;
        TBook reader(host, book);
        const int spreads = reader.control->View().Layout().SpreadCount();
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i + 1 < spreads; ++i) {
                reader.Turn(pass == 0 ? VK_RIGHT : VK_LEFT, {}, 1); // no frames in between
                ++turns;
                peak = std::max(peak, PrivateMiB());
            }
    }
    const double seconds = Seconds(start);
    std::printf("paging through %d pages of 2000x3000 (%zu bytes of JPEG each), %d turns in "
                "%.1f s (%.1f ms a turn):\n",
                pages, jpeg.size(), turns, seconds, seconds / turns * 1000);
    std::printf("  private bytes: %.1f MiB before, %.1f MiB at most; budget %.0f MiB: %s\n", before,
                peak, kMemoryBudgetMiB, peak <= kMemoryBudgetMiB ? "met" : "EXCEEDED");
    std::filesystem::remove_all(folder);
    return peak <= kMemoryBudgetMiB ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    TUnitGuard units;
    // The application initialises the apartment too; the picture is written before it exists.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        if (argc > 1 && std::string(argv[1]) == "--memory")
            return Memory(argc > 2 ? std::max(4, std::atoi(argv[2])) : 1000);
        return Frames(argc > 1 ? std::max(1, std::atoi(argv[1])) : 31);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pageturn_bench: %s\n", error.what());
        return 1;
    }
}
