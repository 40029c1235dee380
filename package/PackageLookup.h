#pragma once
// Finding a stored file by name through the package's index (entry 0): lines "name=number",
// ended by CR LF, CR or LF; a NUL ends the index.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/streams.h"

// One index line that holds "=": the text before the first "=" and the text after it.
struct TIndexLine {
    std::string name;
    std::string value;
};

// The lines of an index text that hold "=", in order.
std::vector<TIndexLine> ParseIndex(std::string_view indexText);

// The entry number the first line whose name equals name (ASCII letter case ignored) gives:
// its value as an integer, 0 (absent) when no line matches or the value does not convert.
int32_t FindEntryNumber(const std::vector<TIndexLine>& index, std::string_view name);

// The stored file named name in the package of the file at path (empty: the running
// executable) as a new memory stream positioned at its end, or nullptr when the name is absent
// or anything fails. Never raises.
std::unique_ptr<TMemoryStream> GetPackageStream(const std::string& name, const std::string& path);

// Whether the package of the file at path (empty: the running executable) has an entry named
// name, decided from its index alone (kept between calls while the file stays the same).
// Never raises; false when there is no package.
bool PackageHasEntry(const std::string& name, const std::string& path);
