#pragma once
// Failures of leafturn-pack that end with exit status 2 rather than 1.

#include "base/errors.h"

// A command line that does not fit the command: the message and the command's usage are shown.
class TUsageError : public TError {
public:
    using TError::TError;
};

// Something the command needs besides its files is missing (a program, a default viewer, a
// part this build was made without): the message says what.
class TMissingPrerequisite : public TError {
public:
    using TError::TError;
};
