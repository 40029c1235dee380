#pragma once
// The viewer's only window: a panel holding the player, the window configuration applied at
// start, full screen on the movie's command, and the keyboard forwarded to the player.

#include <cstdint>
#include <future>
#include <string>

#include "app/exe_config_win.h"
#include "qel/player/qel_flash.h"
#include "ui/forms_win.h"

class TfrmMain : public TForm {
public:
    // The book is the package of packagePath; empty: the running executable's. config, when
    // given, is its window configuration already being read.
    explicit TfrmMain(TComponent* owner, const std::string& packagePath = {},
                      std::future<TExeConfigInfo> config = {});

    TPanel* pnl1 = nullptr;
    TqelFlashPlayer* qelflshplyr1 = nullptr;

    void FormCreate();
    // Reads ExeConfig.xml from the package (or takes the read given at construction) and
    // applies it; any error skips all of it.
    void LoadExeConfig();
    void EnterFullScreen();
    void LeaveFullScreen();
    bool InFullScreen() const { return fullScreen_; }

    void qelflshplyr1HandleFSCommand(TqelFlashPlayer& sender, const std::wstring& command,
                                     const std::wstring& args);
    void FormKeyDown(uint16_t key);
    void FormKeyUp(uint16_t key);
    void FormKeyPress(char key);

private:
    // Whether the window already is where entering (true) or leaving (false) full screen takes it.
    bool AlreadyThere(bool fullScreen);

    const std::string packagePath_;
    std::future<TExeConfigInfo> config_;
    bool fullScreen_ = false;
};

// The designed caption, also the application's title.
inline constexpr char kDesignCaption[] = "Leafturn Book";
// Styles of the window in full screen and when it leaves full screen.
inline constexpr LONG kFullScreenStyle = 0x00010000;
inline constexpr LONG kNormalStyle = 0x00CF0000;
