#include "app/main_form_win.h"

#include "pageturn/pageturn_control_win.h"
#include "ui/application_win.h"

TfrmMain::TfrmMain(TComponent* owner, const std::string& packagePath,
                   std::future<TExeConfigInfo> config)
    : TForm(owner), packagePath_(packagePath), config_(std::move(config)) {
    SetName("frmMain");
    SetCaption(kDesignCaption);
    SetBounds(339, 174, 765, 541);
    SetPosition(TPosition::ScreenCenter);
    SetColor(clBtnFace);
    Font().SetName("Tahoma");
    Font().SetHeight(-11);
    Font().SetCharset(DEFAULT_CHARSET);

    pnl1 = new TPanel(this);
    pnl1->SetName("pnl1");
    pnl1->SetParent(this);
    pnl1->SetAlign(TAlign::Client);

    // Where the book has no movie, or no player control can be had, the viewer's own
    // page-turning control shows its pages.
    qelflshplyr1 = new TqelFlashPlayer(this, PageTurnClassObject(), packagePath);
    qelflshplyr1->SetName("qelflshplyr1");
    qelflshplyr1->SetParent(pnl1);
    qelflshplyr1->SetAlign(TAlign::Client);
    qelflshplyr1->SetDisableFlashPopup(true);
    qelflshplyr1->SetVolume(100);
    qelflshplyr1->SetVolumeControl(false);
    qelflshplyr1->SetFLVPlaybackSkin(flvclearskin);
    qelflshplyr1->OnHandleFSCommand = [this](TqelFlashPlayer& sender, const std::wstring& command,
                                             const std::wstring& args) {
        qelflshplyr1HandleFSCommand(sender, command, args);
    };

    OnCreate = [this](TForm&) { FormCreate(); };
    OnKeyDown = [this](TControl&, uint16_t& key, TShiftState) { FormKeyDown(key); };
    OnKeyUp = [this](TControl&, uint16_t& key, TShiftState) { FormKeyUp(key); };
    OnKeyPress = [this](TControl&, char& key) { FormKeyPress(key); };
}

void TfrmMain::FormCreate() {
    // The title is taken before the configuration can change the caption.
    Application().SetTitle(Caption());
    LoadExeConfig();
    qelflshplyr1->LoadMovieUrl(0, L"book.swf");
}

void TfrmMain::LoadExeConfig() {
    try {
        const TExeConfigInfo config = config_.valid() ? config_.get() : ReadExeConfig(packagePath_);
        SetCaption(config.Caption);
        switch (config.OpenMode) {
        case 1:
            SetBounds(Left(), Top(), config.OpenWidth, config.OpenHeight);
            break;
        case 2:
            SetWindowState(TWindowState::Maximized);
            break;
        case 3:
            EnterFullScreen();
            break;
        default:
            break;
        }
    } catch (...) {
        // A configuration that cannot be read is no configuration: the designed window stays.
    }
}

// A window already where entering or leaving would take it stays as it is: going through restore
// and maximize again would only repaint it, and a movie that repeats its command on every frame
// would be answered with a repaint, and so another frame, without end.
bool TfrmMain::AlreadyThere(bool fullScreen) {
    const LONG style = GetWindowLongA(Handle(), GWL_STYLE) & 0x00FF0000;
    if (fullScreen_ != fullScreen || WindowState() != TWindowState::Maximized ||
        style != (fullScreen ? kFullScreenStyle : kNormalStyle))
        return false;
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT bounds = BoundsRect();
    return !fullScreen || EqualRect(&screen, &bounds);
}

void TfrmMain::EnterFullScreen() {
    if (AlreadyThere(true))
        return;
    if (WindowState() == TWindowState::Maximized)
        SetWindowState(TWindowState::Normal);
    SetWindowLongA(Handle(), GWL_STYLE, kFullScreenStyle);
    SetWindowState(TWindowState::Maximized);
    fullScreen_ = true;
    SetBounds(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

void TfrmMain::LeaveFullScreen() {
    if (AlreadyThere(false))
        return;
    SetWindowState(TWindowState::Normal);
    SetWindowLongA(Handle(), GWL_STYLE, kNormalStyle);
    SetWindowState(TWindowState::Maximized);
    fullScreen_ = false;
}

void TfrmMain::qelflshplyr1HandleFSCommand(TqelFlashPlayer&, const std::wstring& command,
                                           const std::wstring& args) {
    if (command == L"fullscreen" && args == L"true")
        EnterFullScreen();
    else if (command == L"fullscreen" && args == L"false")
        LeaveFullScreen();
}

void TfrmMain::FormKeyDown(uint16_t key) {
    qelflshplyr1->Perform(WM_KEYDOWN, key, 0);
}

void TfrmMain::FormKeyUp(uint16_t key) {
    qelflshplyr1->Perform(WM_KEYUP, key, 0);
}

void TfrmMain::FormKeyPress(char key) {
    qelflshplyr1->Perform(WM_CHAR, static_cast<uint8_t>(key), 0);
    if (key == 27)
        LeaveFullScreen();
}
