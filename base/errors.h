#pragma once
// The program's failures. Every error carries the text a user may be shown; callers that can
// go on catch TError (or everything) at their boundary.

#include <string>
#include <utility>

class TError : public std::exception {
public:
    explicit TError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// A read that could not deliver the bytes the caller needs.
class TReadError : public TError {
public:
    TReadError() : TError("Stream read error") {}
};

// A write that could not store all bytes.
class TWriteError : public TError {
public:
    TWriteError() : TError("Stream write error") {}
};

// A count or index outside what its container can represent.
class TRangeError : public TError {
public:
    TRangeError() : TError("Range check error") {}
};

// A broken internal precondition, raised like any other error (never a program stop).
// The text reads "<message> (<source>, line <line>)".
class TAssertionError : public TError {
public:
    TAssertionError(const std::string& message, const std::string& source, int line)
        : TError(message + " (" + source + ", line " + std::to_string(line) + ")") {}
};

// The system refused to open a file; the text names the path and the system's reason.
class TOpenError : public TError {
public:
    TOpenError(const std::string& path, const std::string& reason)
        : TError("Cannot open file \"" + path + "\". " + reason) {}
};

class TOutOfMemory : public TError {
public:
    TOutOfMemory() : TError("Out of memory") {}
};
