// TViewerProcess::Resources, with what stands in for the counters Wine does not keep.

#include <vector>

#include "tools/drive/viewer_driver_win.h"

#include <psapi.h>
#include <winternl.h>

namespace {

// The process's GDI handle table, which the process environment block names at the same place
// under Wine as under Windows: 65536 entries of 24 bytes; a free entry has type 0.
struct TGdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
};
static_assert(sizeof(TGdiHandleEntry) == 24);
#ifdef _WIN64
constexpr size_t kPebGdiHandleTable = 0xF8;
#else
constexpr size_t kPebGdiHandleTable = 0x94;
#endif

int64_t GdiTableCount(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic,
                                  nullptr) != 0)
        return -1;
    void* table = nullptr;
    std::vector<TGdiHandleEntry> entries(65536);
    if (!ReadProcessMemory(process,
                           reinterpret_cast<char*>(basic.PebBaseAddress) + kPebGdiHandleTable,
                           &table, sizeof table, nullptr) ||
        !table ||
        !ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof entries[0],
                           nullptr))
        return -1;
    int64_t count = 0;
    for (const TGdiHandleEntry& entry : entries)
        count += entry.type != 0;
    return count;
}

struct TWindowCount {
    DWORD processId;
    int64_t count;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM parameter) {
    auto* windows = reinterpret_cast<TWindowCount*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    windows->count += owner == windows->processId;
    return TRUE;
}

// Top-level and message-only windows of the process, and their descendants.
BOOL CALLBACK CountWindowTree(HWND window, LPARAM parameter) {
    CountWindow(window, parameter);
    EnumChildWindows(window, &CountWindow, parameter);
    return TRUE;
}

int64_t WindowCount(DWORD processId) {
    TWindowCount windows{processId, 0};
    EnumWindows(&CountWindowTree, reinterpret_cast<LPARAM>(&windows));
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr));)
        CountWindowTree(window, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

// An entry of the system's handle list (information class 64), which follows a count and a
// reserved word.
struct TSystemHandle {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};

int64_t SystemHandleCount(DWORD processId) {
    constexpr auto kExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
    constexpr auto kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<ULONG_PTR> list(1 << 14);
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(kExtendedHandleInformation, list.data(),
                                              ULONG(list.size() * sizeof list[0]), nullptr)) ==
           kLengthMismatch)
        list.resize(list.size() * 2);
    if (status != 0)
        return -1;
    const auto* handles = reinterpret_cast<const TSystemHandle*>(list.data() + 2);
    int64_t count = 0;
    for (ULONG_PTR i = 0; i < list[0]; ++i)
        count += handles[i].processId == processId;
    return count;
}

} // namespace

TProcessResources TViewerProcess::Resources() const {
    TProcessResources resources;
    const HANDLE process = process_.Get();
    resources.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    if (resources.gdiObjects == 0)
        resources.gdiObjects = GdiTableCount(process);
    resources.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    if (resources.userObjects == 0)
        resources.userObjects = WindowCount(processId_);
    DWORD handles = 0;
    resources.handles = GetProcessHandleCount(process, &handles) && handles
                            ? handles
                            : SystemHandleCount(processId_);
    resources.privateBytes = PrivateBytes(process);
    return resources;
}

int64_t PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                              sizeof memory))
        return 0;
    return int64_t(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage);
}
