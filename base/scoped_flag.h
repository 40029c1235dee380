#pragma once

#include <utility>

// Sets a flag for the lifetime of a block and gives it back the value it had on every exit,
// exceptions included, so that a nested guard of the same flag leaves it set.
class TScopedFlag {
public:
    explicit TScopedFlag(bool& flag) : flag_(flag), previous_(std::exchange(flag, true)) {}
    ~TScopedFlag() { flag_ = previous_; }
    TScopedFlag(const TScopedFlag&) = delete;
    TScopedFlag& operator=(const TScopedFlag&) = delete;

private:
    bool& flag_;
    const bool previous_;
};

// Counts a call in progress for the lifetime of a block: how deep a recursion is, on every exit.
class TScopedDepth {
public:
    explicit TScopedDepth(int& depth) : depth_(depth) { ++depth_; }
    ~TScopedDepth() { --depth_; }
    TScopedDepth(const TScopedDepth&) = delete;
    TScopedDepth& operator=(const TScopedDepth&) = delete;

private:
    int& depth_;
};
