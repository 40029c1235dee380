// Start-up to the first frame: the viewer with a book, from process start until the hosted
// control has drawn its first frame, against a bare Win32 window started the same way until
// it is visible. Both are started, watched and closed by the same code in the same run.
//   startup_bench BOOK BARE-WINDOW-EXE [RUNS]     (under wine64, the stand-in registered)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/drive/viewer_driver_win.h"

namespace {

using TClock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Milliseconds(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench BOOK BARE-WINDOW-EXE [RUNS]\n");
        return 2;
    }
    const std::string book = argv[1], bare = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 9;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string log = std::string(temp) + "leafturn-startup.log";

    std::vector<double> viewerTimes, bareTimes;
    for (int run = 0; run < runs; ++run) {
        DeleteFileA(log.c_str());
        auto start = TClock::now();
        {
            TViewerProcess viewer(book, log);
            const bool framed =
                viewer.WaitForWindow() &&
                WaitUntil(
                    [&] { return ReadTextFile(log).find("Draw(aspect=32") != std::string::npos; },
                    std::chrono::seconds(15), std::chrono::milliseconds(1));
            viewerTimes.push_back(Milliseconds(start));
            DWORD code;
            viewer.Close(code);
            if (!framed) {
                std::fprintf(stderr, "startup_bench: the viewer drew no frame\n");
                return 1;
            }
        }
        start = TClock::now();
        {
            TViewerProcess window(bare, "");
            if (!window.WaitForWindow(std::chrono::seconds(15), "BareWindow")) {
                std::fprintf(stderr, "startup_bench: the bare window did not appear\n");
                return 1;
            }
            bareTimes.push_back(Milliseconds(start));
            DWORD code;
            window.Close(code);
        }
    }
    const double viewer = Median(viewerTimes), anchor = Median(bareTimes);
    std::printf("start-up to first frame, median of %d: viewer %.1f ms, bare window %.1f ms, "
                "ratio %.2f\n",
                runs, viewer, anchor, viewer / anchor);
    return 0;
}
