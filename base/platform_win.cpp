#include "base/platform.h"

#include <algorithm>
#include <windows.h>

#include "base/errors.h"
#include "base/streams.h"

std::string OwnExecutablePath() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, std::min<DWORD>(n, MAX_PATH));
}

std::string OwnExecutableDirectory() {
    std::string path = OwnExecutablePath();
    return path.substr(0, path.find_last_of("\\/:") + 1);
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<TFileIdentity> QueryFileIdentity(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return TFileIdentity{
        static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow),
        static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                             data.ftLastWriteTime.dwLowDateTime)};
}

int64_t LocalClockMilliseconds() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME asFileTime;
    SystemTimeToFileTime(&local, &asFileTime);
    const uint64_t ticks =
        (static_cast<uint64_t>(asFileTime.dwHighDateTime) << 32) | asFileTime.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000);
}

void SleepMilliseconds(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

std::string LastSystemErrorText() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = n && text ? std::string(text, n) : "System error " + std::to_string(code);
    LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
}

namespace {
HANDLE AsHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}
} // namespace

std::unique_ptr<TFileStream> TFileStream::TryOpenShared(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::unique_ptr<TFileStream>(new TFileStream(reinterpret_cast<intptr_t>(file)));
}

TFileStream::~TFileStream() {
    CloseHandle(AsHandle(handle_));
}

int64_t TFileStream::ReadSome(void* buffer, int32_t count) {
    DWORD n = 0;
    return ReadFile(AsHandle(handle_), buffer, static_cast<DWORD>(count), &n, nullptr) ? n : 0;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const DWORD method = origin == TSeekOrigin::Begin     ? FILE_BEGIN
                         : origin == TSeekOrigin::Current ? FILE_CURRENT
                                                          : FILE_END;
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(AsHandle(handle_), distance, &result, method))
        throw TError("Stream seek error");
    return result.QuadPart;
}

int64_t TFileStream::Size() {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(AsHandle(handle_), &size))
        throw TError("Stream seek error");
    return size.QuadPart;
}
