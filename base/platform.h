#pragma once
// What the program needs from the operating system beyond the standard library.

#include <cstdint>
#include <optional>
#include <string>

// Full path of the running executable (the module file of the process).
std::string OwnExecutablePath();

// The directory of the running executable, ending with its separator.
std::string OwnExecutableDirectory();

// True when a file (not a directory) exists at path.
bool FileExists(const std::string& path);

// Size and last-write time of a file: enough to tell that it has not changed since.
struct TFileIdentity {
    int64_t size = 0;
    int64_t lastWriteTime = 0; // in the system's own units
    bool operator==(const TFileIdentity&) const = default;
};
std::optional<TFileIdentity> QueryFileIdentity(const std::string& path);

// Local wall-clock time in milliseconds.
int64_t LocalClockMilliseconds();

void SleepMilliseconds(int milliseconds);

// The system's text for the last failed call (errno or GetLastError).
std::string LastSystemErrorText();
