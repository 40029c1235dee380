#include "flash_standin/standin_log.h"

#include <algorithm>

#include <ocidl.h>
#include <olectl.h>
#include <servprov.h>
#include <urlmon.h>

#include "base/com_win.h"
#include "base/handles_win.h"
#include "base/int_from_text.h"
#include "base/text_win.h"
#include "flash_standin/standin_control.h"
#include "qel/host/shockwave_flash.h"

namespace {

std::wstring Format(const wchar_t* pattern, auto... values) {
    wchar_t buffer[64];
    const int n = _snwprintf(buffer, sizeof buffer / sizeof buffer[0], pattern, values...);
    return n < 0 ? std::wstring() : std::wstring(buffer, static_cast<size_t>(n));
}

// Appends to the file named by LEAFTURN_STANDIN_LOG, opened and closed for each line so that a
// reader in another process sees every line at once and several stand-ins may share the file.
void AppendToFile(const std::wstring& line) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"LEAFTURN_STANDIN_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    TFileHandle file(CreateFileW(path, FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    // Lines are ASCII (Quoted escapes everything else), so the conversion keeps them intact.
    const std::string bytes = WideToAnsi(line) + "\n";
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

struct TCodeName {
    HRESULT code;
    const wchar_t* name;
};

constexpr TCodeName kCodeNames[] = {
    {S_OK, L"S_OK"},
    {S_FALSE, L"S_FALSE"},
    {E_NOTIMPL, L"E_NOTIMPL"},
    {E_NOINTERFACE, L"E_NOINTERFACE"},
    {E_POINTER, L"E_POINTER"},
    {E_FAIL, L"E_FAIL"},
    {E_INVALIDARG, L"E_INVALIDARG"},
    {E_OUTOFMEMORY, L"E_OUTOFMEMORY"},
    {E_UNEXPECTED, L"E_UNEXPECTED"},
    {E_ACCESSDENIED, L"E_ACCESSDENIED"},
    {E_PENDING, L"E_PENDING"},
    {DISP_E_MEMBERNOTFOUND, L"DISP_E_MEMBERNOTFOUND"},
    {DISP_E_EXCEPTION, L"DISP_E_EXCEPTION"},
    {DISP_E_TYPEMISMATCH, L"DISP_E_TYPEMISMATCH"},
    {DISP_E_BADPARAMCOUNT, L"DISP_E_BADPARAMCOUNT"},
    {DISP_E_PARAMNOTFOUND, L"DISP_E_PARAMNOTFOUND"},
    {DISP_E_UNKNOWNINTERFACE, L"DISP_E_UNKNOWNINTERFACE"},
    {DISP_E_UNKNOWNNAME, L"DISP_E_UNKNOWNNAME"},
    {CONNECT_E_NOCONNECTION, L"CONNECT_E_NOCONNECTION"},
    {CONNECT_E_CANNOTCONNECT, L"CONNECT_E_CANNOTCONNECT"},
    {OLE_E_ADVISENOTSUPPORTED, L"OLE_E_ADVISENOTSUPPORTED"},
    {OLE_E_NOT_INPLACEACTIVE, L"OLE_E_NOT_INPLACEACTIVE"},
    {OLE_E_BLANK, L"OLE_E_BLANK"},
    {OLE_S_USEREG, L"OLE_S_USEREG"},
    {OLEOBJ_S_INVALIDVERB, L"OLEOBJ_S_INVALIDVERB"},
    {INPLACE_E_NOTOOLSPACE, L"INPLACE_E_NOTOOLSPACE"},
    {DV_E_DVASPECT, L"DV_E_DVASPECT"},
    {CLASS_E_NOAGGREGATION, L"CLASS_E_NOAGGREGATION"},
    {CLASS_E_CLASSNOTAVAILABLE, L"CLASS_E_CLASSNOTAVAILABLE"},
    {REGDB_E_CLASSNOTREG, L"REGDB_E_CLASSNOTREG"},
    {STG_E_READFAULT, L"STG_E_READFAULT"},
    {MK_E_SYNTAX, L"MK_E_SYNTAX"},
    {MK_S_ASYNCHRONOUS, L"MK_S_ASYNCHRONOUS"},
    {INET_E_DOWNLOAD_FAILURE, L"INET_E_DOWNLOAD_FAILURE"},
    {INET_E_OBJECT_NOT_FOUND, L"INET_E_OBJECT_NOT_FOUND"},
};

struct TInterfaceName {
    const IID* iid;
    const wchar_t* name;
};

const TInterfaceName kInterfaceNames[] = {
    {&IID_IUnknown, L"IUnknown"},
    {&IID_IDispatch, L"IDispatch"},
    {&IID_IOleObject, L"IOleObject"},
    {&IID_IPersist, L"IPersist"},
    {&IID_IPersistStreamInit, L"IPersistStreamInit"},
    {&IID_IPersistStream, L"IPersistStream"},
    {&IID_IPersistStorage, L"IPersistStorage"},
    {&IID_IPersistPropertyBag, L"IPersistPropertyBag"},
    {&IID_IOleControl, L"IOleControl"},
    {&IID_IShockwaveFlash, L"IShockwaveFlash"},
    {&DIID_ShockwaveFlashEvents, L"ShockwaveFlashEvents"},
    {&IID_IConnectionPointContainer, L"IConnectionPointContainer"},
    {&IID_IConnectionPoint, L"IConnectionPoint"},
    {&IID_IOleWindow, L"IOleWindow"},
    {&IID_IOleInPlaceObject, L"IOleInPlaceObject"},
    {&IID_IOleInPlaceObjectWindowless, L"IOleInPlaceObjectWindowless"},
    {&IID_IOleInPlaceActiveObject, L"IOleInPlaceActiveObject"},
    {&IID_IViewObject, L"IViewObject"},
    {&IID_IViewObject2, L"IViewObject2"},
    {&IID_IViewObjectEx, L"IViewObjectEx"},
    {&IID_IPerPropertyBrowsing, L"IPerPropertyBrowsing"},
    {&IID_IProvideClassInfo, L"IProvideClassInfo"},
    {&IID_IProvideClassInfo2, L"IProvideClassInfo2"},
    {&IID_IQuickActivate, L"IQuickActivate"},
    {&IID_ISpecifyPropertyPages, L"ISpecifyPropertyPages"},
    {&IID_IPointerInactive, L"IPointerInactive"},
    {&IID_IMarshal, L"IMarshal"},
    {&IID_IStdMarshalInfo, L"IStdMarshalInfo"},
    {&IID_IExternalConnection, L"IExternalConnection"},
    {&IID_IRunnableObject, L"IRunnableObject"},
    {&IID_IClientSecurity, L"IClientSecurity"},
    {&IID_IMultiQI, L"IMultiQI"},
    {&IID_IOleCache, L"IOleCache"},
    {&IID_IDataObject, L"IDataObject"},
    {&IID_IOleLink, L"IOleLink"},
    {&IID_IAdviseSink, L"IAdviseSink"},
    {&IID_IOleClientSite, L"IOleClientSite"},
    {&IID_IOleControlSite, L"IOleControlSite"},
    {&IID_IOleInPlaceSite, L"IOleInPlaceSite"},
    {&IID_IOleInPlaceSiteEx, L"IOleInPlaceSiteEx"},
    {&IID_IOleInPlaceSiteWindowless, L"IOleInPlaceSiteWindowless"},
    {&IID_IOleInPlaceFrame, L"IOleInPlaceFrame"},
    {&IID_IOleInPlaceUIWindow, L"IOleInPlaceUIWindow"},
    {&IID_IServiceProvider, L"IServiceProvider"},
    {&IID_IBindHost, L"IBindHost"},
    {&IID_IBindStatusCallback, L"IBindStatusCallback"},
    {&IID_IMoniker, L"IMoniker"},
    {&IID_IStream, L"IStream"},
    {&IID_IPropertyNotifySink, L"IPropertyNotifySink"},
    {&IID_IStandinControl, L"IStandinControl"},
};

void AppendEscaped(std::wstring& out, wchar_t c) {
    switch (c) {
    case L'"':
        out += L"\\\"";
        return;
    case L'\\':
        out += L"\\\\";
        return;
    case L'\n':
        out += L"\\n";
        return;
    case L'\r':
        out += L"\\r";
        return;
    case L'\t':
        out += L"\\t";
        return;
    default:
        break;
    }
    if (c >= 0x20 && c < 0x7F)
        out += c;
    else if (c < 0x100)
        out += Format(L"\\x%02X", static_cast<unsigned>(c));
    else
        out += Format(L"\\u%04X", static_cast<unsigned>(c));
}

} // namespace

TStandinLog::TStandinLog() {
    char lines[16];
    const DWORD n = GetEnvironmentVariableA("LEAFTURN_STANDIN_LOG_LINES", lines, sizeof lines);
    if (n > 0 && n < sizeof lines)
        maxLines_ =
            static_cast<size_t>(std::max(0, IntFromText(std::string_view(lines, n), kMaxLines)));
}

void TStandinLog::Add(std::wstring line) {
    AppendToFile(line);
    lines_.push_back(std::move(line));
    if (lines_.size() > maxLines_)
        lines_.pop_front();
}

std::wstring TStandinLog::Text() const {
    std::wstring text;
    for (const std::wstring& line : lines_) {
        text += line;
        text += L'\n';
    }
    return text;
}

std::wstring LogText::Call(std::wstring_view name, std::wstring_view args, HRESULT result,
                           std::wstring_view outputs) {
    std::wstring line(name);
    line += L'(';
    line += args;
    line += L") -> ";
    line += Result(result);
    if (!outputs.empty()) {
        line += L", ";
        line += outputs;
    }
    return line;
}

std::wstring LogText::Note(std::wstring_view text) {
    return L"* " + std::wstring(text);
}

std::wstring LogText::Result(HRESULT code) {
    for (const TCodeName& known : kCodeNames)
        if (known.code == code)
            return known.name;
    return Hex(static_cast<DWORD>(code));
}

std::wstring LogText::Quoted(std::wstring_view text) {
    std::wstring out = L"\"";
    for (wchar_t c : text)
        AppendEscaped(out, c);
    return out + L"\"";
}

std::wstring LogText::Quoted(BSTR text) {
    return text ? Quoted(std::wstring_view(text, SysStringLen(text))) : L"null";
}

std::wstring LogText::QuotedOrNull(const wchar_t* text) {
    return text ? Quoted(std::wstring_view(text)) : L"null";
}

std::wstring LogText::Rect(const RECT* rect) {
    if (!rect)
        return L"null";
    return std::to_wstring(rect->left) + L',' + std::to_wstring(rect->top) + L',' +
           std::to_wstring(rect->right) + L',' + std::to_wstring(rect->bottom);
}

std::wstring LogText::Rect(const RECTL* rect) {
    if (!rect)
        return L"null";
    const RECT r{rect->left, rect->top, rect->right, rect->bottom};
    return Rect(&r);
}

std::wstring LogText::Hex(DWORD value) {
    return Format(L"0x%08X", static_cast<unsigned>(value));
}

std::wstring LogText::Handle(const void* handle) {
    return handle ? Format(L"0x%llX",
                           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)))
                  : L"null";
}

std::wstring LogText::Pointer(const void* pointer) {
    return pointer ? L"set" : L"null";
}

std::wstring LogText::Interface(REFIID iid) {
    for (const TInterfaceName& known : kInterfaceNames)
        if (*known.iid == iid)
            return known.name;
    wchar_t text[40];
    return StringFromGUID2(iid, text, 40) ? std::wstring(text) : L"{?}";
}

std::wstring LogText::Variant(const VARIANT& value) {
    const VARTYPE type = V_VT(&value);
    // A reference to nothing is never read.
    if ((type & VT_BYREF) && !V_BYREF(&value))
        return L"BYREF null";
    if (type == (VT_BYREF | VT_VARIANT))
        return L"BYREF|" + Variant(*V_VARIANTREF(&value));
    if (type & VT_BYREF) {
        // The referenced value, read through a copy that owns nothing.
        TVariant target;
        if (SUCCEEDED(VariantCopyInd(&target.value, const_cast<VARIANT*>(&value))))
            return L"BYREF|" + Variant(target.value);
        return L"BYREF " + Format(L"0x%04X", static_cast<unsigned>(type));
    }
    switch (type) {
    case VT_EMPTY:
        return L"EMPTY";
    case VT_NULL:
        return L"NULL";
    case VT_I2:
        return L"I2 " + std::to_wstring(V_I2(&value));
    case VT_I4:
        return L"I4 " + std::to_wstring(V_I4(&value));
    case VT_UI4:
        return L"UI4 " + std::to_wstring(V_UI4(&value));
    case VT_INT:
        return L"INT " + std::to_wstring(V_INT(&value));
    case VT_UI1:
        return L"UI1 " + std::to_wstring(V_UI1(&value));
    case VT_R4:
        return L"R4 " + std::to_wstring(V_R4(&value));
    case VT_R8:
        return L"R8 " + std::to_wstring(V_R8(&value));
    case VT_BOOL:
        return L"BOOL " + std::to_wstring(V_BOOL(&value));
    case VT_ERROR:
        return L"ERROR " + Result(V_ERROR(&value));
    case VT_BSTR:
        return L"BSTR " + Quoted(V_BSTR(&value));
    case VT_DISPATCH:
        return L"DISPATCH " + Pointer(V_DISPATCH(&value));
    case VT_UNKNOWN:
        return L"UNKNOWN " + Pointer(V_UNKNOWN(&value));
    default:
        return Format(L"VT 0x%04X", static_cast<unsigned>(type));
    }
}

std::wstring LogText::InvokeFlags(WORD flags) {
    static constexpr std::pair<WORD, const wchar_t*> kNames[] = {
        {DISPATCH_METHOD, L"METHOD"},
        {DISPATCH_PROPERTYGET, L"PROPERTYGET"},
        {DISPATCH_PROPERTYPUT, L"PROPERTYPUT"},
        {DISPATCH_PROPERTYPUTREF, L"PROPERTYPUTREF"}};
    std::wstring text;
    WORD rest = flags;
    for (const auto& [bit, name] : kNames)
        if (flags & bit) {
            if (!text.empty())
                text += L'|';
            text += name;
            rest &= static_cast<WORD>(~bit);
        }
    if (rest || text.empty())
        text += (text.empty() ? L"" : L"|") + Format(L"0x%X", static_cast<unsigned>(rest));
    return text;
}

std::wstring LogText::Extent(const SIZEL* size) {
    return size ? std::to_wstring(size->cx) + L'x' + std::to_wstring(size->cy) : L"null";
}

std::wstring LogText::Message(UINT message, WPARAM wParam, LPARAM lParam) {
    return Format(L"0x%04X", message) + L", " + std::to_wstring(wParam) + L", " +
           std::to_wstring(lParam);
}
