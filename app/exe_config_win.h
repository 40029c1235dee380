#pragma once
// The book's window configuration, ExeConfig.xml in the package: caption, how the window opens
// (1 fixed size, 2 maximized, 3 full screen) and the fixed size.

#include <cstdint>
#include <future>
#include <string>

class TStream;

class TExeConfigInfo {
public:
    static std::string EntryName() { return "ExeConfig.xml"; }

    // Reads the document from the stream's first byte (null: an empty document). Raises TError
    // for a document that does not parse, declares a document type, or lacks the root or one of
    // its four elements, and "Element does not contain a single text node" for an element whose
    // content is not one text or CDATA section.
    void LoadFromStream(TStream* stream);

    std::string Caption;    // in the system's 8-bit code page
    int32_t OpenMode = 0;   // 2 when the text is no number
    int32_t OpenWidth = 0;  // 800 when the text is no number
    int32_t OpenHeight = 0; // 600 when the text is no number
};

// The configuration in the package of packagePath (empty: the running executable's); raises as
// LoadFromStream does, for no entry too.
TExeConfigInfo ReadExeConfig(const std::string& packagePath);
// The same, read on a thread of its own so that the program starts up meanwhile: the parser and
// the libraries it loads are a good part of the time to the first page. What went wrong comes out
// of get().
std::future<TExeConfigInfo> ReadExeConfigAsync(const std::string& packagePath);
