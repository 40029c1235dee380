#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"
#include "ui/application_win.h"
#include "ui/forms_win.h"

namespace {

// A graphic control that paints a solid colour and records what reaches it.
class TProbe : public TControl {
public:
    explicit TProbe(TComponent* owner) : TControl(owner) {}
    void Paint() override {
        ++paints;
        const HDC dc = Canvas().Handle();
        const RECT all{0, 0, Width(), Height()};
        const HBRUSH brush = CreateSolidBrush(RGB(10, 200, 30));
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    void WndProc(TMessage& message) override {
        if (message.Msg >= WM_MOUSEFIRST && message.Msg <= WM_MOUSELAST)
            seen.push_back({message.Msg,
                            static_cast<int>(static_cast<int16_t>(LOWORD(message.LParam))),
                            static_cast<int>(static_cast<int16_t>(HIWORD(message.LParam)))});
        TControl::WndProc(message);
    }
    struct TSeen {
        UINT message;
        int x, y;
    };
    int paints = 0;
    std::vector<TSeen> seen;
};

class UiFramework : public testing::Test {
protected:
    void SetUp() override {
        application = std::make_unique<TApplication>();
        application->SetErrorRecorder([this](const std::string& m) { errors.push_back(m); });
        form = new TForm(nullptr);
        form->SetBounds(100, 100, 400, 300);
        panel = new TPanel(form);
        panel->SetParent(form);
        panel->SetAlign(TAlign::Client);
        probe = new TProbe(form);
        probe->SetParent(panel);
        probe->SetAlign(TAlign::Client);
        form->Show();
        application->ProcessMessages();
    }
    void TearDown() override {
        delete form;
        application.reset();
    }

    std::unique_ptr<TApplication> application;
    std::vector<std::string> errors;
    TForm* form = nullptr;
    TPanel* panel = nullptr;
    TProbe* probe = nullptr;
};

COLORREF PixelOf(HWND window, int x, int y) {
    const HDC dc = GetDC(window);
    const COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return pixel;
}

} // namespace

TEST_F(UiFramework, AClientAlignedChildSitsInsideThePanelsBevel) {
    RECT client;
    GetClientRect(panel->Handle(), &client);
    EXPECT_EQ(probe->Left(), 1);
    EXPECT_EQ(probe->Top(), 1);
    EXPECT_EQ(probe->Width(), client.right - 2);
    EXPECT_EQ(probe->Height(), client.bottom - 2);
    form->SetBounds(100, 100, 500, 350);
    application->ProcessMessages();
    GetClientRect(panel->Handle(), &client);
    EXPECT_EQ(probe->Width(), client.right - 2);
}

TEST_F(UiFramework, MouseMessagesReachTheGraphicChildInItsOwnCoordinates) {
    int clicks = 0;
    probe->OnClick = [&](TControl&) { ++clicks; };
    SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    SendMessageA(panel->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(52, 61));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(52, 61));
    ASSERT_EQ(probe->seen.size(), 3u);
    EXPECT_EQ(probe->seen[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(probe->seen[0].x, 49);
    EXPECT_EQ(probe->seen[0].y, 59);
    EXPECT_EQ(probe->seen[2].x, 51);
    EXPECT_EQ(clicks, 1);
    // The bevel is the panel's, not the child's.
    probe->seen.clear();
    SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 0));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
    EXPECT_TRUE(probe->seen.empty());
    // The wheel goes to the window with the focus, in screen coordinates; it reaches the child
    // under the pointer through the panel, in the child's coordinates.
    POINT screen{60, 70};
    ClientToScreen(panel->Handle(), &screen);
    SendMessageA(form->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA),
                 MAKELPARAM(screen.x, screen.y));
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(probe->seen[0].x, 59);
    EXPECT_EQ(probe->seen[0].y, 69);
}

TEST_F(UiFramework, PaintingTheParentPaintsItsGraphicChildren) {
    RedrawWindow(panel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(probe->paints, 1);
    EXPECT_EQ(PixelOf(panel->Handle(), 20, 20), RGB(10, 200, 30));

    // PaintTo draws the same into any context, at any place.
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 200);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    panel->PaintTo(memory, -10, -10);
    EXPECT_EQ(GetPixel(memory, 5, 5), RGB(10, 200, 30));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

TEST_F(UiFramework, PaintingOutsideAPaintMessageDrawsOnTheParentWindow) {
    const int before = probe->paints;
    probe->PaintNow();
    EXPECT_EQ(probe->paints, before + 1);
    EXPECT_EQ(PixelOf(panel->Handle(), 30, 30), RGB(10, 200, 30));
}

TEST_F(UiFramework, ColoursAndFontsComeFromTheParentUntilSetOwn) {
    probe->SetParentColor(true);
    panel->SetColor(RGB(1, 2, 3));
    EXPECT_EQ(probe->Color(), static_cast<TColor>(RGB(1, 2, 3)));
    probe->SetColor(clRed);
    panel->SetColor(RGB(4, 5, 6));
    EXPECT_EQ(probe->Color(), clRed);
    EXPECT_FALSE(probe->ParentColor());

    panel->Font().SetName("Arial");
    EXPECT_EQ(probe->Font().Name(), "Arial");
    EXPECT_TRUE(probe->ParentFont());
    probe->Font().SetHeight(-20);
    EXPECT_FALSE(probe->ParentFont());
    panel->Font().SetName("Courier New");
    EXPECT_EQ(probe->Font().Name(), "Arial");
}

TEST_F(UiFramework, ErrorsInsideMessagesGoToTheApplicationsHandler) {
    probe->OnClick = [](TControl&) { throw TError("handler failed"); };
    SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(50, 60));
    EXPECT_EQ(errors, (std::vector<std::string>{"handler failed"}));
}

TEST_F(UiFramework, TheApplicationTitleIsItsWindowsText) {
    EXPECT_EQ(application->Title(), "win_ui_tests"); // the program's name until it is set
    application->SetTitle("Leafturn Book");
    char text[64] = {};
    GetWindowTextA(application->Handle(), text, sizeof text);
    EXPECT_STREQ(text, "Leafturn Book");
    EXPECT_EQ(GetWindow(form->Handle(), GW_OWNER), application->Handle());
}

TEST_F(UiFramework, ClosingTheMainFormEndsTheLoop) {
    application->SetMainForm(form);
    form->Close();
    application->Run();
    EXPECT_TRUE(application->Terminated());
}
