#pragma once
// The stand-in's record of its exchange with the host. Every line is composed by the functions
// below, so the format described in README.md lives here and nowhere else:
//   Method(args) -> RESULT[, outputs]        a call into the stand-in, with its answer
//   peer.Method(args) -> RESULT[, outputs]   a call the stand-in made, with the answer it got
//   * text                                   something the stand-in did on its own
// A call's line is written when the call returns, so calls made inside it come first.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <windows.h>

#include <objidl.h>
#include <oleauto.h>

class TStandinLog {
public:
    // A control that paints for hours keeps only its latest lines in memory (the file keeps all):
    // kMaxLines, or as many as LEAFTURN_STANDIN_LOG_LINES says. A process whose memory is
    // measured from outside keeps none, or the record would look like a leak of its host.
    static constexpr int32_t kMaxLines = 100000;
    TStandinLog();

    // Appends one line; with LEAFTURN_STANDIN_LOG naming a file, also appends it there at once.
    void Add(std::wstring line);
    std::wstring Text() const; // every line followed by "\n"
    void Clear() { lines_.clear(); }

private:
    size_t maxLines_ = kMaxLines;
    std::deque<std::wstring> lines_;
};

// The words of the log, also handed to the skeleton's describers of the calls it passes.
struct LogText {
    // "name(args) -> RESULT" and ", outputs" when there are any.
    static std::wstring Call(std::wstring_view name, std::wstring_view args, HRESULT result,
                             std::wstring_view outputs);
    static std::wstring Note(std::wstring_view text);

    // Symbolic names for the codes the exchange uses, else 0x followed by 8 hex digits.
    static std::wstring Result(HRESULT code);
    // Text in double quotes: printable ASCII as is, \" \\ \n \r \t, other characters \xNN below
    // 0x100 and \uNNNN above. A null BSTR is null.
    static std::wstring Quoted(std::wstring_view text);
    static std::wstring Quoted(BSTR text);
    static std::wstring QuotedOrNull(const wchar_t* text);
    // l,t,r,b or null.
    static std::wstring Rect(const RECT* rect);
    static std::wstring Rect(const RECTL* rect);
    // 0x followed by 8 hex digits.
    static std::wstring Hex(DWORD value);
    // null, or 0x followed by the handle's value in hex.
    static std::wstring Handle(const void* handle);
    // set or null.
    static std::wstring Pointer(const void* pointer);
    // The interface's name when it is one of the exchange's, else its {GUID}.
    static std::wstring Interface(REFIID iid);
    // EMPTY, I4 5, BOOL -1, BSTR "x", BSTR null, DISPATCH set, UNKNOWN null, BYREF|I4 5, ...
    static std::wstring Variant(const VARIANT& value);
    // METHOD, PROPERTYGET, PROPERTYPUT, PROPERTYPUTREF, joined by |.
    static std::wstring InvokeFlags(WORD flags);
    // cx x cy, in HIMETRIC, or null.
    static std::wstring Extent(const SIZEL* size);
    // The message's number as 0x followed by 4 hex digits, then its two parameters.
    static std::wstring Message(UINT message, WPARAM wParam, LPARAM lParam);
};
