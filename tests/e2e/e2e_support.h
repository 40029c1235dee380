#pragma once
// What the end-to-end tests share: paths as the viewer's processes see them, programs of the test
// prefix, the stand-in's registration in it and window configurations.

#include <string>
#include <windows.h>

#include "tests/support/standin_win.h"

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

inline std::string Config(int mode, int width = 800, int height = 600,
                          const std::string& caption = "Full page fax print") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ExeConfig><ExeCaption><![CDATA[" +
           caption + "]]></ExeCaption><WindowOpenMode>" + std::to_string(mode) +
           "</WindowOpenMode><WindowOpenWidth>" + std::to_string(width) +
           "</WindowOpenWidth><WindowOpenHeight>" + std::to_string(height) +
           "</WindowOpenHeight></ExeConfig>\r\n";
}
