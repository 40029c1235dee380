#pragma once

// Sets a flag for the lifetime of a block and clears it on every exit, exceptions included.
class TScopedFlag {
public:
    explicit TScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~TScopedFlag() { flag_ = false; }
    TScopedFlag(const TScopedFlag&) = delete;
    TScopedFlag& operator=(const TScopedFlag&) = delete;

private:
    bool& flag_;
};
