// Frames of the windowless player in a 1920 x 1080 window: a full frame (the control's Draw
// into the output bitmap, one background copy, one copy to the window) against a plain BitBlt
// of a DIB section of the same size to the same window, and a 64 x 64 dirty frame against the
// full one. The stand-in draws its frame alone, so that the host's own work is what is timed.
//   render_bench [ROUNDS]     (under wine64, on a screen of at least 1920 x 1080 plus the caption)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "qel/host/qel_bitmap_win.h"
#include "qel/player/qel_flash.h"
#include "qel/qel_units.h"
#include "tests/support/standin_win.h"
#include "ui/application_win.h"
#include "ui/forms_win.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Frames per second of frames runs of frame.
double Rate(int frames, const std::function<void()>& frame) {
    const auto start = TClock::now();
    for (int i = 0; i < frames; ++i)
        frame();
    GdiFlush();
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    return frames / seconds;
}

int Run(int rounds) {
    TApplication application;
    TStandinServer server;
    auto* form = new TForm(nullptr);
    RECT outer{0, 0, kWidth, kHeight};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
    form->SetBounds(0, 0, outer.right - outer.left, outer.bottom - outer.top);
    form->Show();
    application.ProcessMessages();
    if (form->ClientWidth() < kWidth || form->ClientHeight() < kHeight) {
        std::fprintf(stderr, "render_bench: the window's client is only %dx%d\n",
                     form->ClientWidth(), form->ClientHeight());
        delete form;
        return 1;
    }
    auto* player = new TqelFlashPlayer(form);
    player->SetParent(form);
    player->SetBounds(0, 0, kWidth, kHeight);
    const ComPtr<IStandinControl> standin = StandinOf(player->HostedObject());
    if (!standin || !player->ViewIntf()) {
        std::fprintf(stderr, "render_bench: the stand-in is not active\n");
        delete form;
        return 1;
    }
    standin->SetFrameOnly(TRUE);
    application.ProcessMessages();
    const HWND window = form->Handle();
    // The anchor: a 32-bit DIB section in its memory DC, blitted as it is.
    TqelBitmap dib;
    dib.Resize(kWidth, kHeight);
    dib.FillAll(0xFF336699u);
    const RECT dirty{kWidth / 2 - 32, kHeight / 2 - 32, kWidth / 2 + 32, kHeight / 2 + 32};

    const auto full = [&] { standin->Invalidate(nullptr); };
    const auto partial = [&] { standin->Invalidate(&dirty); };
    const auto plain = [&] {
        const HDC dc = GetDC(window);
        BitBlt(dc, 0, 0, kWidth, kHeight, dib.MemoryDC(), 0, 0, SRCCOPY);
        ReleaseDC(window, dc);
    };
    full(); // the first frame after sizing, and warming up
    Rate(10, plain);
    Rate(100, partial);

    std::vector<double> fullRates, plainRates, dirtyRates;
    for (int round = 0; round < rounds; ++round) {
        standin->ClearLog();
        fullRates.push_back(Rate(60, full));
        plainRates.push_back(Rate(60, plain));
        standin->ClearLog();
        dirtyRates.push_back(Rate(2000, partial));
    }
    delete form;

    const double ours = Median(fullRates), anchor = Median(plainRates),
                 dirtyRate = Median(dirtyRates);
    std::printf("render 1920x1080, medians of %d rounds:\n", rounds);
    std::printf("  full frame      %8.1f frames/s\n", ours);
    std::printf("  plain BitBlt    %8.1f frames/s   full / BitBlt %.2f (target >= 0.5)\n", anchor,
                ours / anchor);
    std::printf("  64x64 dirty     %8.1f frames/s   dirty / full  %.1f (target >= 20)\n", dirtyRate,
                dirtyRate / ours);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    TUnitGuard units;
    try {
        return Run(rounds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "render_bench: %s\n", error.what());
        return 1;
    }
}
