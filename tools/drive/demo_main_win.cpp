// The demo's eye: opens a book in the viewer, which shows it with its own page-turning control,
// and saves a screenshot of the cover, a spread, a turn caught half way, a zoomed page and
// full screen.
//   leafturn-demo BOOK SHOTS-FOLDER

#include <cstdio>
#include <fstream>
#include <string>

#include "pageturn/book_view.h"
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

// The book as the control lays it out in the window's client area (the panel's bevel aside).
TBookView Layout(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    TBookView view;
    view.SetArea({0, 0, client.right - 2, client.bottom - 2});
    view.SetPageCount(10);
    view.SetPageShape(3, 4);
    return view;
}

POINT InClient(int32_t x, int32_t y) {
    return {x + 1, y + 1};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: leafturn-demo BOOK SHOTS-FOLDER\n");
        return 2;
    }
    const std::string book = argv[1], shots = argv[2];
    TViewerProcess viewer(book, "");
    if (!viewer.WaitForWindow()) {
        std::fprintf(stderr, "leafturn-demo: the viewer did not open\n");
        return 1;
    }
    const HWND window = viewer.MainWindow();
    Sleep(1500); // the first pages, and the bar shown at the start faded out again
    TBookView view = Layout(window);
    Save(shots + "\\1-cover.png", WindowArea(window));

    viewer.PressKey(VK_RIGHT);
    Sleep(2600);
    Save(shots + "\\2-spread.png", WindowArea(window));

    // The right page's lower corner, held half way over.
    const TRect right = view.Layout().Slot(TPageSide::Right);
    const POINT corner = InClient(right.right - 4, right.bottom - 6);
    const POINT middle = InClient(right.left + RectWidth(right) / 5, right.bottom - RectHeight(right) / 4);
    viewer.Drag(corner, middle, 16, false);
    Sleep(400);
    Save(shots + "\\3-turning.png", WindowArea(window));
    viewer.MoveMouse(corner.x, corner.y);
    viewer.MouseButton(false);
    Sleep(800);

    // Zoomed into the right page's picture, then back.
    const POINT picture = InClient(right.left + RectWidth(right) / 2, right.top + RectHeight(right) / 3);
    viewer.Click(picture.x, picture.y, 2);
    Sleep(1500);
    Save(shots + "\\4-zoomed.png", WindowArea(window));
    viewer.Click(picture.x, picture.y, 2);
    Sleep(600);

    // The bar's full-screen button.
    for (const auto& button : view.Bar().buttons)
        if (button.kind == TBarButton::FullScreen) {
            const POINT at = InClient((button.rect.left + button.rect.right) / 2,
                                      (button.rect.top + button.rect.bottom) / 2);
            viewer.MoveMouse(at.x - 40, at.y - 40);
            viewer.Click(at.x, at.y);
        }
    WaitUntil([&] { return (viewer.State().style & 0x00FF0000) == 0x00010000; });
    Sleep(1200);
    Save(shots + "\\5-full-screen.png",
         {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});

    viewer.PressKey(VK_ESCAPE);
    DWORD code = 1;
    if (!viewer.Close(code) || code != 0) {
        std::fprintf(stderr, "leafturn-demo: the viewer did not close cleanly\n");
        return 1;
    }
    return 0;
}
