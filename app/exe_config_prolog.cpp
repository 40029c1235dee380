#include "app/exe_config_prolog.h"

namespace {

// The document's characters as 8-bit text: UTF-16 reduced to its low bytes, anything else as
// it is. Enough to find markup, which is ASCII.
std::string MarkupProjection(const std::string& bytes) {
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    bool littleEndian = false, bigEndian = false;
    size_t start = 0;
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        littleEndian = true;
        start = 2;
    } else if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        bigEndian = true;
        start = 2;
    } else if (bytes.size() >= 2 && at(1) == 0) {
        // Without a byte order mark: XML text holds no NUL, so a NUL among the first two bytes
        // is the high half of a UTF-16 character, whatever the character (a blank too).
        littleEndian = true;
    } else if (bytes.size() >= 2 && at(0) == 0) {
        bigEndian = true;
    }
    if (!littleEndian && !bigEndian)
        return bytes;
    std::string text;
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const unsigned low = littleEndian ? at(i) : at(i + 1);
        const unsigned high = littleEndian ? at(i + 1) : at(i);
        text += high == 0 ? static_cast<char>(low) : '?';
    }
    return text;
}

} // namespace

bool DeclaresDocumentType(const std::string& bytes) {
    const std::string text = MarkupProjection(bytes);
    size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    // The prolog: blanks, processing instructions and comments before the root element.
    for (;;) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
            ++i;
        if (text.compare(i, 2, "<?") == 0) {
            const size_t end = text.find("?>", i + 2);
            if (end == std::string::npos)
                return false;
            i = end + 2;
        } else if (text.compare(i, 4, "<!--") == 0) {
            const size_t end = text.find("-->", i + 4);
            if (end == std::string::npos)
                return false;
            i = end + 3;
        } else {
            return text.compare(i, 9, "<!DOCTYPE") == 0;
        }
    }
}
