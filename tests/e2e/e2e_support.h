#pragma once
// What the end-to-end tests share: paths as the viewer's processes see them, programs of the test
// prefix, the stand-in's registration in it, books, window styles and configurations.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <windows.h>

#include "tests/support/standin_win.h"
#include "tests/support/temp_dir.h"
#include "tools/pack/pack_commands.h"

inline std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

inline const std::string kViewer = WindowsPath(LEAFTURN_VIEWER_EXE);

// Runs a Windows program of the test prefix (regsvr32) and waits for it.
inline DWORD RunAndWait(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return 255;
    WaitForSingleObject(info.hProcess, 30000);
    DWORD code = 255;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code;
}

inline bool RegisterStandin(bool registered) {
    const std::wstring dll = StandinDllPath();
    return RunAndWait("regsvr32.exe /s " + std::string(registered ? "" : "/u ") + "\"" +
                      std::string(dll.begin(), dll.end()) + "\"") == 0;
}

// A book of files (name: bytes) built behind the viewer in dir by leafturn-pack; its path.
inline std::string BuildBook(const TTempDir& dir, const std::map<std::string, std::string>& files) {
    for (const auto& [name, bytes] : files)
        dir.Write("book/" + name, bytes);
    const std::string book = dir.File("book.exe");
    std::ostringstream out, err;
    EXPECT_EQ(
        RunPackCommand({"build", "--viewer", kViewer, "--out", book, dir.File("book")}, out, err),
        0)
        << err.str();
    return book;
}

// The main window's style in full screen and out of it.
inline bool FullScreenStyle(LONG style) {
    return (style & 0x00FF0000) == 0x00010000;
}
inline bool NormalStyle(LONG style) {
    return (style & 0x00FF0000) == 0x00CF0000;
}

inline std::string Config(int mode, int width = 800, int height = 600,
                          const std::string& caption = "Full page fax print") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ExeConfig><ExeCaption><![CDATA[" +
           caption + "]]></ExeCaption><WindowOpenMode>" + std::to_string(mode) +
           "</WindowOpenMode><WindowOpenWidth>" + std::to_string(width) +
           "</WindowOpenWidth><WindowOpenHeight>" + std::to_string(height) +
           "</WindowOpenHeight></ExeConfig>\r\n";
}
