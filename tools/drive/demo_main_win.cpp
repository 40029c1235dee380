// The demo's eye: opens a book in the viewer, turns a page, enters full screen and saves a
// screenshot of each.
//   leafturn-demo BOOK SHOTS-FOLDER

#include <cstdio>
#include <fstream>
#include <string>

#include "tools/drive/png.h"
#include "tools/drive/viewer_driver_win.h"

namespace {

bool Save(const std::string& path, const RECT& area) {
    const std::vector<uint8_t> rgb = CaptureScreen(area);
    std::ofstream(path, std::ios::binary)
        << EncodePng(area.right - area.left, area.bottom - area.top, rgb);
    std::printf("leafturn-demo: saved %s\n", path.c_str());
    return !rgb.empty();
}

RECT WindowArea(HWND window) {
    RECT area;
    GetWindowRect(window, &area);
    return area;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: leafturn-demo BOOK SHOTS-FOLDER\n");
        return 2;
    }
    const std::string book = argv[1], shots = argv[2];
    const std::string log = shots + "\\standin.log";
    std::remove(log.c_str());
    TViewerProcess viewer(book, log);
    auto logHas = [&](const char* text) {
        return WaitUntil([&] { return ReadTextFile(log).find(text) != std::string::npos; });
    };
    if (!viewer.WaitForWindow() || !logHas("* page 1 of")) {
        std::fprintf(stderr, "leafturn-demo: the book did not open (see %s)\n", log.c_str());
        return 1;
    }
    Sleep(500); // let the first frame reach the screen
    Save(shots + "\\1-first-page.png", WindowArea(viewer.MainWindow()));

    viewer.PressKey(VK_RIGHT);
    logHas("* page 2 of");
    Sleep(500);
    Save(shots + "\\2-next-page.png", WindowArea(viewer.MainWindow()));

    viewer.PressKey('F'); // the sample scene's full-screen key
    WaitUntil([&] { return (viewer.State().style & 0x00FF0000) == 0x00010000; });
    Sleep(800);
    Save(shots + "\\3-full-screen.png",
         {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});

    viewer.PressKey(VK_ESCAPE);
    DWORD code = 1;
    if (!viewer.Close(code) || code != 0) {
        std::fprintf(stderr, "leafturn-demo: the viewer did not close cleanly\n");
        return 1;
    }
    return 0;
}
