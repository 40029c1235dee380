// The window configuration's prolog check. Documents are built from the input: an encoding,
// then blanks, processing instructions and comments; behind them a document type must be
// refused and a plain root element must not. The raw input is checked too, for reads and
// allocations only.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/exe_config_prolog.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

enum TEncoding { kUtf8, kUtf8Bom, kUtf16LeBom, kUtf16BeBom, kUtf16Le, kUtf16Be, kEncodings };

// Every byte as one character of the encoding (a single-byte text read as Latin-1).
std::string Encoded(const std::string& text, int encoding) {
    switch (encoding) {
    case kUtf8:
        return text;
    case kUtf8Bom:
        return "\xEF\xBB\xBF" + text;
    default:
        break;
    }
    const bool little = encoding == kUtf16LeBom || encoding == kUtf16Le;
    std::string bytes;
    if (encoding == kUtf16LeBom || encoding == kUtf16BeBom)
        bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char c : text) {
        bytes += little ? c : '\0';
        bytes += little ? '\0' : c;
    }
    return bytes;
}

// Each item: a byte whose low two bits say what it is and whose other bits how many of the
// following bytes it holds.
std::string Prolog(std::string_view script) {
    std::string prolog;
    while (!script.empty()) {
        const uint8_t item = static_cast<uint8_t>(script[0]);
        const std::string_view content = script.substr(1, item >> 2);
        script.remove_prefix(1 + content.size());
        switch (item & 3) {
        case 0:
            for (char c : content)
                prolog += " \t\r\n"[c & 3];
            break;
        case 1:
            if (content.find("?>") == std::string_view::npos)
                prolog += "<?" + std::string(content) + "?>";
            break;
        case 2:
            if (content.find("-->") == std::string_view::npos)
                prolog += "<!--" + std::string(content) + "-->";
            break;
        default:
            return prolog;
        }
    }
    return prolog;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    {
        // A copy of the document at most, as 8-bit text.
        fuzz::TAllocationBound bound(size);
        DeclaresDocumentType(raw);
    }
    if (size == 0)
        return 0;
    const int encoding = data[0] % kEncodings;
    const std::string prolog = Prolog(std::string_view(raw).substr(1));
    FUZZ_CHECK(DeclaresDocumentType(
        Encoded(prolog + "<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>", encoding)));
    FUZZ_CHECK(!DeclaresDocumentType(Encoded(prolog + "<r/>", encoding)));
    return 0;
}
