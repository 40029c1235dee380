#pragma once
// leafturn-pack: builds, lists, prints, extracts and verifies books.

#include <ostream>
#include <string>
#include <vector>

namespace PackExit {
constexpr int kOk = 0;
constexpr int kUnusable = 1; // a file is not usable, or the command refused it
constexpr int kUsage = 2;
} // namespace PackExit

// args are the words after the program name.
int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
