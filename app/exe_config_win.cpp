#include "app/exe_config_win.h"

#include <msxml2.h>

#include "app/exe_config_prolog.h"
#include "base/com_win.h"
#include "base/int_from_text.h"
#include "base/streams.h"
#include "base/text_win.h"
#include "package/PackageLookup.h"

namespace {

// The platform's identifiers of the DOM interfaces used here.
constexpr IID kIID_IXMLDOMDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr wchar_t kDocumentProgId[] = L"Msxml2.DOMDocument.6.0";

std::wstring NodeName(IXMLDOMNode* node) {
    TBstr name;
    node->get_nodeName(name.Out());
    return name.Text();
}

// The name without its namespace prefix.
std::wstring LocalName(IXMLDOMNode* node) {
    TBstr name;
    node->get_baseName(name.Out());
    return name.Text();
}

// The first element among the nodes whose name, or local name, is name.
ComPtr<IXMLDOMNode> FindElement(IXMLDOMNode* parent, const std::wstring& name) {
    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(parent->get_childNodes(&children)) || !children)
        return nullptr;
    long count = 0;
    children->get_length(&count);
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> child;
        DOMNodeType type = NODE_INVALID;
        if (FAILED(children->get_item(i, &child)) || !child || FAILED(child->get_nodeType(&type)) ||
            type != NODE_ELEMENT)
            continue;
        if (NodeName(child.Get()) == name || LocalName(child.Get()) == name)
            return child;
    }
    return nullptr;
}

ComPtr<IXMLDOMNode> RequireElement(IXMLDOMNode* parent, const std::wstring& name) {
    ComPtr<IXMLDOMNode> element = FindElement(parent, name);
    if (!element)
        throw TError("ExeConfig.xml has no element " + WideToAnsi(name));
    return element;
}

// Empty for an element without children; the text of its single text or CDATA child.
std::wstring ElementText(IXMLDOMNode* element) {
    ComPtr<IXMLDOMNodeList> children;
    long count = 0;
    if (SUCCEEDED(element->get_childNodes(&children)) && children)
        children->get_length(&count);
    if (count == 0)
        return {};
    ComPtr<IXMLDOMNode> child;
    DOMNodeType type = NODE_INVALID;
    if (count == 1 && SUCCEEDED(children->get_item(0, &child)) && child &&
        SUCCEEDED(child->get_nodeType(&type)) &&
        (type == NODE_TEXT || type == NODE_CDATA_SECTION)) {
        TVariant value;
        child->get_nodeValue(&value.value);
        return V_VT(&value.value) == VT_BSTR ? BstrText(V_BSTR(&value.value)) : std::wstring();
    }
    throw TError("Element does not contain a single text node");
}

void SetDocumentProperty(IXMLDOMDocument2& document, const wchar_t* name, bool value) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    document.setProperty(TBstr(name).Get(), v); // a parser without the property ignores it
}

} // namespace

void TExeConfigInfo::LoadFromStream(TStream* stream) {
    std::string bytes;
    if (stream) {
        stream->SetPosition(0);
        bytes.resize(static_cast<size_t>(stream->Size()));
        stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    // A document type could make the parser expand entities without bound or fetch external
    // ones; a configuration never needs one, so it is refused before anything is parsed.
    if (DeclaresDocumentType(bytes))
        throw TError("ExeConfig.xml declares a document type");

    CLSID documentClass;
    OleCheck(CLSIDFromProgID(kDocumentProgId, &documentClass));
    ComPtr<IXMLDOMDocument2> document;
    OleCheck(CoCreateInstance(documentClass, nullptr, CLSCTX_INPROC_SERVER, kIID_IXMLDOMDocument2,
                              reinterpret_cast<void**>(document.GetAddressOf())));
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    SetDocumentProperty(*document.Get(), L"ProhibitDTD", true);

    if (stream) {
        VARIANT source;
        V_VT(&source) = VT_UNKNOWN;
        ComPtr<IStream> adapter = MakeStreamAdapter(std::make_shared<TStringStream>(bytes));
        V_UNKNOWN(&source) = adapter.Get();
        VARIANT_BOOL loaded = VARIANT_FALSE;
        if (FAILED(document->load(source, &loaded)) || loaded != VARIANT_TRUE) {
            ComPtr<IXMLDOMParseError> error;
            TBstr reason;
            if (SUCCEEDED(document->get_parseError(&error)) && error)
                error->get_reason(reason.Out());
            throw TError("ExeConfig.xml does not parse: " + WideToAnsi(reason.Text()));
        }
    }

    const ComPtr<IXMLDOMNode> root = RequireElement(document.Get(), L"ExeConfig");
    auto text = [&](const wchar_t* name) {
        return ElementText(RequireElement(root.Get(), name).Get());
    };
    const std::wstring caption = text(L"ExeCaption");
    const std::wstring mode = text(L"WindowOpenMode");
    const std::wstring width = text(L"WindowOpenWidth");
    const std::wstring height = text(L"WindowOpenHeight");
    Caption = WideToAnsi(caption);
    OpenMode = IntFromText(WideToAnsi(mode), 2);
    OpenWidth = IntFromText(WideToAnsi(width), 800);
    OpenHeight = IntFromText(WideToAnsi(height), 600);
}

TExeConfigInfo ReadExeConfig(const std::string& packagePath) {
    const auto stream = GetPackageStream(TExeConfigInfo::EntryName(), packagePath);
    TExeConfigInfo config;
    config.LoadFromStream(stream.get());
    return config;
}

std::future<TExeConfigInfo> ReadExeConfigAsync(const std::string& packagePath) {
    return std::async(std::launch::async, [packagePath] {
        // An apartment of the thread's own: the parser lives and dies in it.
        const TComApartment apartment;
        return ReadExeConfig(packagePath);
    });
}
