#pragma once
// Raised when an object is asked to take the contents of another it cannot represent.

#include <string>
#include <string_view>

#include "base/errors.h"

class TAssignError : public TError {
public:
    TAssignError(std::string_view sourceClass, std::string_view targetClass)
        : TError("Cannot assign a " + std::string(sourceClass) + " to a " +
                 std::string(targetClass)) {}
};
