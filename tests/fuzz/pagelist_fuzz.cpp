// The book's page list read from arbitrary text: never more than the page limit, values no
// longer than the bytes they came from, a text cut short keeps a first part of the same pages,
// and the list written back as XML reads the same.

#include <cstdint>
#include <string>
#include <string_view>

#include "pages/page_list.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The attribute value's text, so that reading it back gives the text.
std::string Quoted(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '<')
            out += "&lt;";
        else
            out += c;
    }
    return out + "\"";
}

size_t Count(std::string_view text, std::string_view what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

bool SamePages(const TPageList& a, const TPageList& b, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (a.pages[i].src != b.pages[i].src || a.pages[i].large != b.pages[i].large)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    TPageList list;
    {
        // A page takes 13 bytes at least (<page src=''>) and its entry 64; the list may double.
        fuzz::TAllocationBound bound(size * 10);
        list = ParsePageList(xml);
    }
    FUZZ_CHECK(list.pages.size() <= kMaxPages && list.pages.size() <= Count(xml, "<page"));
    if (list.pages.size() == kMaxPages)
        FUZZ_CHECK(!list.complete);
    // Decoding only shortens: every value comes from bytes of its own.
    size_t taken = list.title.size();
    for (const TPageEntry& page : list.pages) {
        taken += page.src.size() + page.large.size();
        // A page's name stands alone or follows the folder of the list's own name.
        const std::wstring wide(page.src.begin(), page.src.end());
        std::wstring_view name = wide;
        while (name.starts_with(L"./"))
            name.remove_prefix(2);
        const std::wstring resolved = ResolveRelative(L"http://ltb/files/book.xml", wide);
        FUZZ_CHECK(resolved == name || resolved == L"http://ltb/files/" + std::wstring(name));
    }
    FUZZ_CHECK(taken <= size);

    // The text cut short reads as a first part of the same pages.
    const TPageList cut = ParsePageList(xml.substr(0, size / 2));
    FUZZ_CHECK(cut.pages.size() <= list.pages.size() && SamePages(cut, list, cut.pages.size()));
    FUZZ_CHECK(cut.title.empty() || cut.title == list.title);

    std::string written = "<?xml version=\"1.0\"?><book title=" + Quoted(list.title) + ">";
    for (const TPageEntry& page : list.pages)
        written += "<page src=" + Quoted(page.src) + " large=" + Quoted(page.large) + "/>";
    written += "</book>";
    const TPageList again = ParsePageList(written);
    FUZZ_CHECK(again.pages.size() == list.pages.size() &&
               SamePages(again, list, list.pages.size()));
    FUZZ_CHECK(again.title == list.title);
    FUZZ_CHECK(again.complete == (list.pages.size() < kMaxPages));
    return 0;
}
