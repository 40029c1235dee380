#pragma once
// The book's window configuration, ExeConfig.xml in the package: caption, how the window opens
// (1 fixed size, 2 maximized, 3 full screen) and the fixed size.

#include <cstdint>
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
