#pragma once
// Turning the arguments of a control's event call into the values its handler takes.

#include <cstdint>
#include <oaidl.h>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

// What one handler parameter (after the sender) takes.
enum class TEventParameter { Integer, Text };

// One decoded argument: a 32-bit integer, or a text copied out of the call.
using TEventValue = std::variant<int32_t, std::wstring>;

// The handler's arguments, first parameter first (the call holds them last first), or nothing
// when the call does not carry what the handler takes: fewer arguments than parameters, or an
// argument whose type does not fit its parameter. Named arguments are ignored; arguments
// beyond the handler's parameters are not read.
std::optional<std::vector<TEventValue>>
DecodeEventArguments(const DISPPARAMS* params, std::span<const TEventParameter> signature);
