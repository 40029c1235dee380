#pragma once
// Writing packages: the only writer of the format that lib/MyLib/ExeExt reads.

#include <filesystem>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

struct TPackEntry {
    std::string name;
    // The entry's bytes, or the file that holds them.
    std::variant<std::string, std::filesystem::path> content;
};

// The order entries are stored in: "book.swf", "ExeConfig.xml" and "files/book.xml" first when
// present, then the rest sorted as text.
std::vector<std::string> OrderEntryNames(std::vector<std::string> names);

// The name index: one line "name=number" per entry, numbered from 1, each ended by CR LF.
std::string MakeIndex(const std::vector<TPackEntry>& entries);

// Bytes a package of these entries occupies, trailer included.
int64_t PackageSize(const std::vector<TPackEntry>& entries, bool withDigest);

// Writes the package (index, entries, digest when asked for, size table, trailer) to out.
// Raises TError when an entry's file cannot be read completely.
void WritePackage(std::ostream& out, const std::vector<TPackEntry>& entries, bool withDigest);
