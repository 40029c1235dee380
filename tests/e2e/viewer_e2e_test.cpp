// The viewer as a user runs it: a book built with leafturn-pack, started as its own process with
// the stand-in registered for the player's class, driven and observed from outside.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "pageturn/book_view.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/sample_book.h"
#include "tests/support/standin_win.h"
#include "tests/support/temp_dir.h"
#include "tools/drive/png.h"
#include "tools/drive/viewer_driver_win.h"
#include "tools/pack/pack_commands.h"

namespace {

// A scene of two pages, red then blue, and keys that send script commands.
const char kScene[] = "LEAFTURN-SCENE 1\n"
                      "pages files/book.xml\n"
                      "next-keys Right\n"
                      "prev-keys Left\n"
                      "command-key F2 fullscreen true\n"
                      "command-key F3 fullscreen false\n"
                      "command-key F4 FullScreen true\n"
                      "command-key F5 fullscreen TRUE\n";
const char kPageList[] = "<?xml version=\"1.0\"?>\n<book>\n  <page src=\"page/1.png\"/>\n"
                         "  <page src=\"page/2.png\"/>\n</book>\n";

class Viewer : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(RegisterStandin(true)); }
    static void TearDownTestSuite() { RegisterStandin(false); }

    // The book's files besides the scene, the page list and the pages; config "" for none.
    std::string Book(const std::string& config) {
        std::map<std::string, std::string> files = {
            {"book.swf", kScene},
            {"files/book.xml", kPageList},
            {"files/page/1.png", SolidPng(64, 48, 220, 20, 20)},
            {"files/page/2.png", SolidPng(64, 48, 20, 20, 220)},
        };
        if (!config.empty())
            files["ExeConfig.xml"] = config;
        return BuildBook(dir, files);
    }

    TViewerProcess& Start(const std::string& config) {
        viewer = std::make_unique<TViewerProcess>(Book(config), LogPath());
        EXPECT_TRUE(viewer->WaitForWindow());
        return *viewer;
    }

    std::string LogPath() const { return dir.File("standin.log"); }
    std::string Log() const { return ReadTextFile(LogPath()); }
    bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
    size_t Count(const std::string& text) const {
        const std::string log = Log();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }
    bool WaitForLog(const std::string& text) {
        return WaitUntil([&] { return LogHas(text); });
    }

    void ExpectClosesCleanly() {
        DWORD code = 1234;
        ASSERT_TRUE(viewer->Close(code));
        EXPECT_EQ(code, 0u);
        EXPECT_FALSE(viewer->Running());
    }

    static RECT WorkArea() {
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        return work;
    }
    static bool CoversScreen(const RECT& r) {
        return r.left == 0 && r.top == 0 && r.right == GetSystemMetrics(SM_CXSCREEN) &&
               r.bottom == GetSystemMetrics(SM_CYSCREEN);
    }

    TTempDir dir;
    std::unique_ptr<TViewerProcess> viewer;
};

} // namespace

TEST_F(Viewer, WithoutAConfigurationOpensTheDesignedWindowCentred) {
    const TViewerWindowState state = Start("").State();
    EXPECT_EQ(state.caption, "Leafturn Book");
    EXPECT_EQ(state.title, "Leafturn Book");
    EXPECT_EQ(state.rect.right - state.rect.left, 765);
    EXPECT_EQ(state.rect.bottom - state.rect.top, 541);
    const RECT work = WorkArea();
    EXPECT_NEAR(state.rect.left, work.left + (work.right - work.left - 765) / 2, 1);
    EXPECT_NEAR(state.rect.top, work.top + (work.bottom - work.top - 541) / 2, 1);
    EXPECT_FALSE(state.zoomed);
    ExpectClosesCleanly();
}

TEST_F(Viewer, TheShippedConfigurationMaximizesWithItsCaptionButKeepsTheTitle) {
    Start(kShippedExeConfig);
    ASSERT_TRUE(WaitUntil([&] { return viewer->State().zoomed; }));
    const TViewerWindowState state = viewer->State();
    EXPECT_EQ(state.caption, "Full page fax print");
    EXPECT_EQ(state.title, "Leafturn Book");
    ExpectClosesCleanly();
}

TEST_F(Viewer, AWindowThatOpensMaximizedRestoresCentredAtItsDesignSize) {
    const RECT work = WorkArea();
    const RECT centred{work.left + (work.right - work.left - 765) / 2,
                       work.top + (work.bottom - work.top - 541) / 2, 0, 0};
    // As the user restores it: the window's restore command, then where it lands.
    auto restoresCentred = [&] {
        PostMessageA(viewer->MainWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
        WaitUntil([&] {
            const TViewerWindowState s = viewer->State();
            return !s.zoomed && s.rect.left == centred.left && s.rect.top == centred.top &&
                   s.rect.right - s.rect.left == 765;
        });
        const TViewerWindowState s = viewer->State();
        EXPECT_FALSE(s.zoomed);
        EXPECT_EQ(s.rect.right - s.rect.left, 765);
        EXPECT_EQ(s.rect.bottom - s.rect.top, 541);
        EXPECT_EQ(s.rect.left, centred.left);
        EXPECT_EQ(s.rect.top, centred.top);
    };
    Start(kShippedExeConfig);
    ASSERT_TRUE(WaitUntil([&] { return viewer->State().zoomed; }));
    restoresCentred();
    ExpectClosesCleanly();

    // From full screen: Esc leaves it maximized, and restoring goes to the same place.
    Start(Config(3));
    ASSERT_TRUE(WaitUntil([&] { return CoversScreen(viewer->State().rect); }));
    viewer->PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] {
        const TViewerWindowState s = viewer->State();
        return NormalStyle(s.style) && s.zoomed;
    }));
    restoresCentred();
    ExpectClosesCleanly();
}

TEST_F(Viewer, HasOneTaskbarEntryNamedByTheTitleThatMinimizesRestoresAndActivatesIt) {
    Start(kShippedExeConfig);
    ASSERT_TRUE(WaitUntil([&] { return viewer->State().zoomed; }));
    std::vector<HWND> entries;
    ASSERT_TRUE(WaitUntil([&] { return (entries = viewer->TaskbarWindows()).size() == 1; }))
        << entries.size() << " taskbar entries";
    const HWND entry = entries[0], main = viewer->MainWindow();
    EXPECT_EQ(WindowText(entry), "Leafturn Book");
    EXPECT_EQ(WindowText(main), "Full page fax print");
    auto minimized = [&] { return IsIconic(entry) && !IsWindowVisible(main); };
    auto restored = [&] {
        return !IsIconic(entry) && IsWindowVisible(main) && IsZoomed(main) &&
               GetForegroundWindow() == main;
    };
    // Through the entry, and through the main window's own minimize box.
    for (const HWND minimizer : {entry, main}) {
        PostMessageA(minimizer, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(WaitUntil(minimized));
        PostMessageA(entry, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_TRUE(WaitUntil(restored));
    }
    // Activating the entry brings the main window to the front.
    const HWND other = CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW, 0, 0,
                                       200, 100, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(other, SW_SHOW);
    SetForegroundWindow(other);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; }));
    SetForegroundWindow(entry);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }));
    DestroyWindow(other);
    EXPECT_EQ(viewer->TaskbarWindows(), std::vector<HWND>{entry});
    ExpectClosesCleanly();
}

TEST_F(Viewer, FixedSizeOpensCentredAtThatSize) {
    const TViewerWindowState state = Start(Config(1, 1024, 768)).State();
    EXPECT_EQ(state.rect.right - state.rect.left, 1024);
    EXPECT_EQ(state.rect.bottom - state.rect.top, 768);
    const RECT work = WorkArea();
    EXPECT_NEAR(state.rect.left, work.left + (work.right - work.left - 1024) / 2, 1);
    EXPECT_FALSE(state.zoomed);
    ExpectClosesCleanly();
}

TEST_F(Viewer, FullScreenFromTheStart) {
    Start(Config(3));
    ASSERT_TRUE(WaitUntil([&] { return CoversScreen(viewer->State().rect); }))
        << viewer->State().rect.right;
    EXPECT_TRUE(FullScreenStyle(viewer->State().style));
    ExpectClosesCleanly();
}

TEST_F(Viewer, AMalformedConfigurationLeavesTheDesignedWindow) {
    const TViewerWindowState state = Start("<ExeConfig><ExeCaption>broken").State();
    EXPECT_EQ(state.caption, "Leafturn Book");
    EXPECT_EQ(state.rect.right - state.rect.left, 765);
    ExpectClosesCleanly();
}

TEST_F(Viewer, ServesTheMovieAndItsFilesFromThePackage) {
    Start("");
    ASSERT_TRUE(WaitForLog("* page 1 of 2")) << Log();
    EXPECT_TRUE(LogHas("bindhost.CreateMoniker(\"http://ltb/book.swf\") -> S_OK")) << Log();
    EXPECT_TRUE(LogHas("bindhost.CreateMoniker(\"http://ltb/files/book.xml\") -> S_OK"));
    EXPECT_TRUE(LogHas("bindhost.CreateMoniker(\"http://ltb/files/page/1.png\") -> S_OK"));
    std::ostringstream movieReceived;
    movieReceived << "* received " << sizeof kScene - 1 << " bytes of \"http://ltb/book.swf\"";
    EXPECT_EQ(Count(movieReceived.str()), 1u);
    EXPECT_EQ(Count("bytes of \"http://ltb/files/book.xml\""), 1u);
    EXPECT_EQ(Count("bytes of \"http://ltb/files/page/1.png\""), 1u);
    // One complete notification sequence per file.
    EXPECT_EQ(Count("OnStartBinding(binding=null)"), Count("OnStopBinding(S_OK, \"\")"));
    EXPECT_EQ(Count("OnProgress(100, 100, 6, \"\")"), Count("OnStopBinding(S_OK, \"\")"));
    EXPECT_GE(Count("OnDataAvailable(flags=5,"), 3u);
    ExpectClosesCleanly();
}

TEST_F(Viewer, ShowsThePagesAndTurnsThemWithTheKeyboard) {
    Start(Config(1, 640, 480));
    ASSERT_TRUE(WaitForLog("* page 1 of 2"));
    RECT client;
    GetClientRect(viewer->MainWindow(), &client);
    const POINT centre =
        ClientToScreenPoint(viewer->MainWindow(), client.right / 2, client.bottom / 2);
    ASSERT_TRUE(WaitUntil([&] { return ScreenPixel(centre.x, centre.y) == RGB(220, 20, 20); }))
        << std::hex << ScreenPixel(centre.x, centre.y);
    viewer->PressKey(VK_RIGHT);
    ASSERT_TRUE(WaitForLog("* page 2 of 2"));
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(centre.x, centre.y) == RGB(20, 20, 220); }))
        << std::hex << ScreenPixel(centre.x, centre.y);
    ExpectClosesCleanly();
}

TEST_F(Viewer, KeysReachTheControlDownCharacterUpWithoutParameters) {
    Start("");
    ASSERT_TRUE(WaitForLog("* page 1 of 2"));
    viewer->PressKey('A');
    ASSERT_TRUE(WaitForLog("OnWindowMessage(0x0101, 65, 0)")) << Log();
    const std::string log = Log();
    const size_t down = log.find("OnWindowMessage(0x0100, 65, 0) -> S_OK");
    const size_t character = log.find("OnWindowMessage(0x0102, 97, 0) -> S_OK");
    const size_t up = log.find("OnWindowMessage(0x0101, 65, 0) -> S_OK");
    ASSERT_NE(down, std::string::npos) << log;
    ASSERT_NE(character, std::string::npos) << log;
    EXPECT_LT(down, character);
    EXPECT_LT(character, up);
    EXPECT_EQ(Count("OnWindowMessage(0x0102, 97, 0)"), 1u);
    ExpectClosesCleanly();
}

TEST_F(Viewer, ScriptCommandsSwitchFullScreenExactly) {
    Start(Config(1, 640, 480));
    ASSERT_TRUE(WaitForLog("* page 1 of 2"));
    auto fullScreen = [&] {
        const TViewerWindowState s = viewer->State();
        return FullScreenStyle(s.style) && CoversScreen(s.rect);
    };
    // Other letter cases do nothing. The commands run from the message loop, before the input
    // that follows them: once a later key has arrived they have run.
    viewer->PressKey(VK_F4);
    viewer->PressKey(VK_F5);
    viewer->PressKey('A');
    ASSERT_TRUE(WaitForLog("OnWindowMessage(0x0101, 65, 0)"));
    ASSERT_EQ(Count("event.Invoke(150"), 2u);
    EXPECT_FALSE(fullScreen());
    EXPECT_TRUE(NormalStyle(viewer->State().style));

    viewer->PressKey(VK_F2);
    ASSERT_TRUE(WaitUntil(fullScreen)) << std::hex << viewer->State().style;
    viewer->PressKey(VK_F2); // twice: still full screen
    ASSERT_TRUE(WaitUntil([&] { return Count("event.Invoke(150") >= 4; }));
    EXPECT_TRUE(WaitUntil(fullScreen));

    // Leaving gives a maximized captioned window, not the configured size.
    viewer->PressKey(VK_F3);
    ASSERT_TRUE(WaitUntil([&] {
        const TViewerWindowState s = viewer->State();
        return NormalStyle(s.style) && s.zoomed;
    })) << std::hex
        << viewer->State().style;
    ExpectClosesCleanly();
}

TEST_F(Viewer, EscapeInANormalWindowMaximizesIt) {
    Start(Config(1, 640, 480));
    ASSERT_FALSE(viewer->State().zoomed);
    viewer->PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return viewer->State().zoomed; }));
    EXPECT_TRUE(NormalStyle(viewer->State().style));
    EXPECT_TRUE(WaitForLog("OnWindowMessage(0x0102, 27, 0)")); // forwarded first
    ExpectClosesCleanly();
}

TEST_F(Viewer, WithoutThePlayerControlItsOwnControlShowsTheBookAndClosesCleanly) {
    ASSERT_TRUE(RegisterStandin(false));
    const TViewerWindowState state = Start(Config(1, 700, 500, "No player")).State();
    RegisterStandin(true);
    EXPECT_EQ(state.caption, "No player");
    EXPECT_EQ(state.rect.right - state.rect.left, 700);
    EXPECT_EQ(Log(), "");
    // The cover, alone on the right half.
    RECT client;
    GetClientRect(viewer->MainWindow(), &client);
    const POINT cover =
        ClientToScreenPoint(viewer->MainWindow(), client.right * 3 / 4, client.bottom / 2);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(cover.x, cover.y) == RGB(220, 20, 20); }))
        << std::hex << ScreenPixel(cover.x, cover.y);
    EXPECT_TRUE(viewer->Dialogs().empty()); // no message came up
    ExpectClosesCleanly();
}

// A fault of the control while the window is made: one message, titled like the application
// (by the program's name until the window has set the title); once it is closed the window
// appears and runs, with the control when only the movie failed, without it when the control
// could not be initialised or activated.
TEST_F(Viewer, AFaultWhileTheWindowIsMadeIsShownOnceAndTheViewerRunsOn) {
    const struct {
        const char* fail;
        const char* title;
        const char* line;
        bool keysReachTheControl;
    } faults[] = {
        {"LoadMovie=0x80004005", "Leafturn Book", "LoadMovie(0, \"http://ltb/book.swf\") -> E_FAIL",
         true},
        {"InitNew=0x80004005", "book", "InitNew() -> E_FAIL", false},
        {"DoVerb=0x8000FFFF", "book", "DoVerb(-5, msg=null", false},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.fail);
        std::filesystem::remove(LogPath());
        SetEnvironmentVariableA("LEAFTURN_STANDIN_FAIL", fault.fail);
        viewer = std::make_unique<TViewerProcess>(Book(Config(1, 640, 480, "Broken control")),
                                                  LogPath());
        SetEnvironmentVariableA("LEAFTURN_STANDIN_FAIL", nullptr);
        // The application's default error handler.
        std::vector<HWND> dialogs;
        ASSERT_TRUE(WaitUntil([&] { return (dialogs = viewer->Dialogs()).size() == 1; }));
        EXPECT_EQ(WindowText(dialogs[0]), fault.title);
        EXPECT_FALSE(DialogText(dialogs[0]).empty());
        PostMessageA(dialogs[0], WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(viewer->WaitForWindow());
        EXPECT_TRUE(viewer->Dialogs().empty());
        EXPECT_EQ(viewer->State().caption, "Broken control");
        EXPECT_TRUE(LogHas(fault.line)) << Log();
        // Esc comes after the letter, and maximizes the window: the letter has been handled.
        viewer->PressKey('A');
        viewer->PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitUntil([&] { return viewer->State().zoomed; }));
        EXPECT_EQ(LogHas("OnWindowMessage(0x0100, 65, 0)"), fault.keysReachTheControl);
        EXPECT_TRUE(viewer->Dialogs().empty());
        ExpectClosesCleanly();
    }
}

namespace {

// The machine's own name for a file of this Windows process (Wine's file name mapping).
std::string UnixFileName(const std::string& path) {
    using TUnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName = reinterpret_cast<TUnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    const std::wstring wide(path.begin(), path.end());
    char* name = unixName ? unixName(wide.c_str()) : nullptr;
    const std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

} // namespace

// A book signed after it was packed, as a publisher signs it: OpenSSL and osslsigncode of the
// machine, which Wine starts by their Unix paths. Wine reports such a program finished as soon as
// it started, so the test waits for what each one makes.
TEST_F(Viewer, OpensABookSignedAfterPacking) {
    const std::string book = Book(Config(1, 640, 480, "Signed book"));
    const std::string key = UnixFileName(dir.File("key.pem"));
    const std::string cert = UnixFileName(dir.File("cert.pem"));
    const std::string signedBook = dir.File("signed.exe");
    ASSERT_FALSE(key.empty());
    RunAndWait("Z:\\usr\\bin\\openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
               "-nodes -days 2 -subj /CN=Leafturn-test -keyout " +
               key + " -out " + cert);
    ASSERT_TRUE(WaitUntil([&] {
        return ReadTextFile(dir.File("cert.pem")).find("END CERTIFICATE") != std::string::npos;
    }));
    RunAndWait("Z:\\usr\\bin\\osslsigncode sign -certs " + cert + " -key " + key + " -in " +
               UnixFileName(book) + " -out " + UnixFileName(signedBook));
    std::string verified;
    EXPECT_TRUE(WaitUntil([&] {
        std::ostringstream out, err;
        RunPackCommand({"verify", signedBook}, out, err);
        verified = out.str() + err.str();
        return verified.find(", signed\n") != std::string::npos;
    })) << verified;
    std::ostringstream unsignedList, signedList, err;
    RunPackCommand({"list", book}, unsignedList, err);
    RunPackCommand({"list", signedBook}, signedList, err);
    EXPECT_EQ(signedList.str(), unsignedList.str());

    viewer = std::make_unique<TViewerProcess>(signedBook, LogPath());
    ASSERT_TRUE(viewer->WaitForWindow());
    EXPECT_EQ(viewer->State().caption, "Signed book");
    EXPECT_TRUE(WaitForLog("* page 1 of 2")) << Log();
    ExpectClosesCleanly();
}

namespace {

constexpr COLORREF kRed = RGB(220, 20, 20), kBlue = RGB(20, 20, 220), kGreen = RGB(20, 160, 40),
                   kYellow = RGB(230, 200, 30), kBackground = RGB(54, 56, 60),
                   kBroken = RGB(184, 84, 70);

// Books without a movie, shown by the viewer's own page-turning control; nothing registered.
class BuiltInViewer : public Viewer {
protected:
    static void SetUpTestSuite() {}
    static void TearDownTestSuite() {}

    TViewerProcess& StartBook(const std::map<std::string, std::string>& files) {
        for (const auto& [name, bytes] : files)
            dir.Write("own/" + name, bytes);
        dir.Write("own/ExeConfig.xml", Config(1, 800, 600));
        return Open(
            Pack({"build", "--viewer", kViewer, "--out", dir.File("own.exe"), dir.File("own")}));
    }
    // Runs a packer command whose --out names the book; the book.
    std::string Pack(const std::vector<std::string>& command) {
        std::ostringstream out, err;
        EXPECT_EQ(RunPackCommand(command, out, err), 0) << err.str();
        return command[std::find(command.begin(), command.end(), "--out") - command.begin() + 1];
    }
    TViewerProcess& Open(const std::string& book) {
        viewer = std::make_unique<TViewerProcess>(book, "");
        EXPECT_TRUE(viewer->WaitForWindow());
        // Where the control lays the book out: the client area inside the panel's bevel.
        RECT client;
        GetClientRect(viewer->MainWindow(), &client);
        view.SetArea({0, 0, client.right - 2, client.bottom - 2});
        view.SetPageCount(4);
        view.SetPageShape(3, 4);
        return *viewer;
    }
    // A point of the control, in the window's client area.
    POINT Client(int32_t x, int32_t y) const { return {x + 1, y + 1}; }
    POINT Middle(TPageSide side) const {
        const TRect slot = view.Layout().Slot(side);
        return Client((slot.left + slot.right) / 2, (slot.top + slot.bottom) / 2);
    }
    COLORREF At(POINT client) const {
        const POINT screen = ClientToScreenPoint(viewer->MainWindow(), client.x, client.y);
        return ScreenPixel(screen.x, screen.y);
    }
    // Waits until the left and right pages show these colours, and still do once any turn
    // under way has ended (a leaf passing by shows them for a moment too).
    testing::AssertionResult Shows(COLORREF left, COLORREF right) {
        const auto shown = [&] {
            return At(Middle(TPageSide::Left)) == left && At(Middle(TPageSide::Right)) == right;
        };
        if (WaitUntil(shown) && (Sleep(700), shown()))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << std::hex << "left " << At(Middle(TPageSide::Left))
                                           << ", right " << At(Middle(TPageSide::Right));
    }

    TBookView view;
};

std::string Png(COLORREF colour) {
    return SolidPng(30, 40, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

const char kFourPages[] = "<?xml version=\"1.0\"?>\n<book title=\"Four\">"
                          "<page src=\"page/1.png\"/><page src=\"page/2.png\"/>"
                          "<page src=\"page/3.png\"/><page src=\"page/4.png\"/></book>";

} // namespace

TEST_F(BuiltInViewer, TurnsPagesByKeysClicksAndDragging) {
    StartBook({{"files/book.xml", kFourPages},
               {"files/page/1.png", Png(kRed)},
               {"files/page/2.png", Png(kBlue)},
               {"files/page/3.png", Png(kGreen)},
               {"files/page/4.png", Png(kYellow)}});
    ASSERT_TRUE(Shows(kBackground, kRed)); // the cover alone on the right
    viewer->PressKey(VK_RIGHT);
    ASSERT_TRUE(Shows(kBlue, kGreen));
    const POINT left = Middle(TPageSide::Left);
    viewer->Click(left.x, left.y);
    ASSERT_TRUE(Shows(kBackground, kRed));
    // The cover's outer edge, dragged over the spine.
    const TRect right = view.Layout().Slot(TPageSide::Right);
    viewer->Drag(Client(right.right - 3, right.top + RectHeight(right) / 2),
                 Client(right.left - RectWidth(right) / 2, right.top + RectHeight(right) / 2));
    ASSERT_TRUE(Shows(kBlue, kGreen));
    viewer->PressKey(VK_END);
    ASSERT_TRUE(Shows(kYellow, kBackground)); // an even count: the last page alone on the left
    viewer->PressKey(VK_NEXT);
    viewer->PressKey(VK_HOME);
    ASSERT_TRUE(Shows(kBackground, kRed));
    ExpectClosesCleanly();
}

TEST_F(BuiltInViewer, ABookMadeFromAFolderOfPicturesOpensWithItsTitleAndFirstSpread) {
    // Named so that only natural order puts them right; the text file is skipped.
    dir.Write("pictures/10.png", Png(kYellow));
    dir.Write("pictures/1.png", Png(kRed));
    dir.Write("pictures/2.png", Png(kBlue));
    dir.Write("pictures/9.png", Png(kGreen));
    dir.Write("pictures/notes.txt", "not a page");
    Open(Pack({"pages", "--viewer", kViewer, "--out", dir.File("pictures.exe"), "--title",
               "Four pictures", "--open", "fixed:800x600", dir.File("pictures")}));
    EXPECT_EQ(viewer->State().caption, "Four pictures");
    ASSERT_TRUE(Shows(kBackground, kRed));
    viewer->PressKey(VK_RIGHT);
    ASSERT_TRUE(Shows(kBlue, kGreen));
    ExpectClosesCleanly();
}

TEST_F(BuiltInViewer, TheBarsFullScreenButtonSwitchesToFullScreenAndEscapeBack) {
    StartBook({{"files/book.xml", kFourPages}, {"files/page/1.png", Png(kRed)}});
    ASSERT_TRUE(Shows(kBackground, kRed));
    for (const auto& button : view.Bar().buttons)
        if (button.kind == TBarButton::FullScreen) {
            const POINT at = Client((button.rect.left + button.rect.right) / 2,
                                    (button.rect.top + button.rect.bottom) / 2);
            viewer->MoveMouse(at.x - 30, at.y - 30); // the bar shows while the mouse moves
            viewer->Click(at.x, at.y);
        }
    ASSERT_TRUE(WaitUntil([&] {
        const TViewerWindowState s = viewer->State();
        return FullScreenStyle(s.style) && CoversScreen(s.rect);
    })) << std::hex
        << viewer->State().style;
    viewer->PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return NormalStyle(viewer->State().style); }));
    ExpectClosesCleanly();
}

TEST_F(BuiltInViewer, APageThatCannotBeShownIsMarkedAndTheOthersShow) {
    StartBook({{"files/book.xml", kFourPages},
               {"files/page/1.png", Png(kRed)},
               {"files/page/3.png", Png(kGreen)},
               {"files/page/4.png", "not a picture"}});
    ASSERT_TRUE(Shows(kBackground, kRed));
    viewer->PressKey(VK_RIGHT);
    // Page 2 is missing: its place shows the mark above its middle; page 3 shows.
    const TRect left = view.Layout().Slot(TPageSide::Left);
    const int32_t x = (left.left + left.right) / 2;
    ASSERT_TRUE(WaitUntil([&] {
        int marked = 0;
        for (int32_t y = left.top; y < (left.top + left.bottom) / 2; y += 2)
            marked += At(Client(x, y)) == kBroken;
        return marked > 3 && At(Middle(TPageSide::Right)) == kGreen;
    }));
    ExpectClosesCleanly();
}

TEST_F(BuiltInViewer, AMovieWithoutAPageListAndNoPlayerControlShowsWhatIsMissing) {
    RegisterStandin(false); // not registered in this suite anyway
    StartBook({{"book.swf", "FWS\x0A a movie no control here can play"}});
    // Words in the middle of the window, the background elsewhere.
    RECT client;
    GetClientRect(viewer->MainWindow(), &client);
    const auto text = [&] {
        int written = 0;
        for (int x = 0; x < client.right; x += 2)
            written += At({x, client.bottom / 2 - 12}) != kBackground;
        return written;
    };
    EXPECT_TRUE(WaitUntil([&] { return text() > 10; }));
    EXPECT_EQ(At({client.right / 2, client.bottom - 20}), kBackground);
    ExpectClosesCleanly();
}
