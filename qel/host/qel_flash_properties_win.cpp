// The hosted control's properties by dispatch identifier, font conversions, its stored state
// and the display name it is told of.

#include "base/scoped_flag.h"
#include "base/text_win.h"
#include "qel/host/qel_flash_olehost.h"

namespace {

// The first size bytes of a block of global memory; none when it cannot be locked.
std::vector<uint8_t> GlobalBytes(HGLOBAL memory, SIZE_T size) {
    const TGlobalLock locked(memory);
    const auto* bytes = static_cast<const uint8_t*>(locked.Data());
    return bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>();
}

} // namespace

ComPtr<IFontDisp> FontToFontDisp(TFont& font) {
    const std::wstring name = AnsiToWide(font.Name());
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(name.c_str());
    description.cySize.int64 = static_cast<LONGLONG>(font.Size()) * 10000;
    description.sWeight = static_cast<SHORT>(font.Style() & fsBold ? FW_BOLD : FW_NORMAL);
    description.sCharset = font.Charset();
    description.fItalic = (font.Style() & fsItalic) != 0;
    description.fUnderline = (font.Style() & fsUnderline) != 0;
    description.fStrikethrough = (font.Style() & fsStrikeOut) != 0;
    ComPtr<IFontDisp> result;
    OleCheck(OleCreateFontIndirect(&description, IID_IFontDisp,
                                   reinterpret_cast<void**>(result.GetAddressOf())));
    return result;
}

void FontFromVariant(const VARIANT& value, TFont& font) {
    if (V_VT(&value) != VT_DISPATCH && V_VT(&value) != VT_UNKNOWN)
        return;
    IUnknown* object = V_VT(&value) == VT_DISPATCH ? V_DISPATCH(&value) : V_UNKNOWN(&value);
    ComPtr<IFontDisp> fontDisp;
    ComPtr<IFont> oleFont;
    if (!object || FAILED(object->QueryInterface(IID_IFontDisp, &fontDisp)) ||
        FAILED(fontDisp.As(&oleFont)))
        return;
    TBstr name;
    CY size{};
    BOOL bold = FALSE, italic = FALSE, underline = FALSE, strike = FALSE;
    SHORT charset = DEFAULT_CHARSET;
    oleFont->get_Name(name.Out());
    oleFont->get_Size(&size);
    oleFont->get_Bold(&bold);
    oleFont->get_Italic(&italic);
    oleFont->get_Underline(&underline);
    oleFont->get_Strikethrough(&strike);
    oleFont->get_Charset(&charset);
    TFont taken = font;
    taken.SetName(WideToAnsi(name.Text()));
    taken.SetSize(static_cast<int>((size.int64 + 5000) / 10000));
    taken.SetStyle(static_cast<uint8_t>((bold ? fsBold : 0) | (italic ? fsItalic : 0) |
                                        (underline ? fsUnderline : 0) |
                                        (strike ? fsStrikeOut : 0)));
    taken.SetCharset(static_cast<uint8_t>(charset));
    font.Assign(taken);
}

void TqelOleControl::InvokeProperty(DISPID dispid, WORD flags, DISPPARAMS& params,
                                    VARIANT* result) {
    TExcepInfo exception;
    const HRESULT hr = dispatchIntf_->Invoke(dispid, IID_NULL, 0, flags, &params, result,
                                             exception.Out(), nullptr);
    const EXCEPINFO& filled = exception.Filled();
    if (FAILED(hr))
        throw TOleError(filled.scode && hr == DISP_E_EXCEPTION ? filled.scode : hr,
                        WideToAnsi(BstrText(filled.bstrDescription)));
}

void TqelOleControl::ReadProperty(DISPID dispid, VARIANT& value) {
    InitializeControl();
    VariantClear(&value);
    if (!dispatchIntf_)
        throw TOleError(E_NOINTERFACE, "The control cannot be reached");
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    InvokeProperty(dispid, DISPATCH_PROPERTYGET, none, &value);
}

void TqelOleControl::WriteProperty(DISPID dispid, const VARIANT& value) {
    if (creationFailed_)
        return;
    InitializeControl();
    if (!dispatchIntf_)
        throw TOleError(E_NOINTERFACE, "The control cannot be reached");
    VARIANT argument = value; // shallow: the caller keeps ownership
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    const WORD flags = V_VT(&value) == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
    InvokeProperty(dispid, flags, params, nullptr);
}

int32_t TqelOleControl::ReadIntProperty(DISPID dispid) {
    TVariant value;
    ReadProperty(dispid, value.value);
    return V_I4(&value.value);
}

bool TqelOleControl::ReadBoolProperty(DISPID dispid) {
    TVariant value;
    ReadProperty(dispid, value.value);
    return V_BOOL(&value.value) != 0;
}

std::wstring TqelOleControl::ReadWideProperty(DISPID dispid) {
    TVariant value;
    ReadProperty(dispid, value.value);
    return V_VT(&value.value) == VT_BSTR ? BstrText(V_BSTR(&value.value)) : std::wstring();
}

std::string TqelOleControl::ReadTextProperty(DISPID dispid) {
    TVariant value;
    ReadProperty(dispid, value.value);
    TVariant text;
    if (FAILED(VariantChangeType(&text.value, &value.value, 0, VT_BSTR)))
        return {};
    return WideToAnsi(BstrText(V_BSTR(&text.value)));
}

void TqelOleControl::ReadVariantProperty(DISPID dispid, VARIANT& value) {
    VariantClear(&value);
    ReadProperty(dispid, value);
}

void TqelOleControl::WriteIntProperty(DISPID dispid, int32_t value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    WriteProperty(dispid, v);
}

void TqelOleControl::WriteBoolProperty(DISPID dispid, bool value) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    WriteProperty(dispid, v);
}

void TqelOleControl::WriteWideProperty(DISPID dispid, const std::wstring& value) {
    // The control reads the text during the call; an empty text travels as a null string.
    TBstr text;
    if (!value.empty())
        text = TBstr(value);
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.Get();
    WriteProperty(dispid, v);
}

void TqelOleControl::WriteTextProperty(DISPID dispid, const std::string& value) {
    TBstr text(AnsiToWide(value));
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.Get();
    WriteProperty(dispid, v);
}

void TqelOleControl::WritePictureProperty(DISPID dispid, IPictureDisp* picture) {
    if (writingPicture_)
        return;
    TScopedFlag guard(writingPicture_);
    const auto& ids = descriptor_->pictureProperties;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] != dispid)
            continue;
        pictures_[i] = picture;
        VARIANT v;
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = pictures_[i].Get();
        WriteProperty(dispid, v);
    }
}

void TqelOleControl::OnChangedProperty(DISPID dispid) {
    // Each change runs under its own guard, so that what the framework does with it cannot
    // come back here; the control's errors in reading do not matter.
    try {
        switch (dispid) {
        case DISPID_BACKCOLOR:
            if (!changingColor_) {
                TScopedFlag guard(changingColor_);
                SetColor(ReadIntProperty(DISPID_BACKCOLOR));
            }
            break;
        case DISPID_ENABLED:
            if (!changingEnabled_) {
                TScopedFlag guard(changingEnabled_);
                SetEnabled(ReadBoolProperty(DISPID_ENABLED));
            }
            break;
        case DISPID_FONT:
            if (!changingFont_) {
                TScopedFlag guard(changingFont_);
                TVariant font;
                ReadProperty(DISPID_FONT, font.value);
                FontFromVariant(font.value, Font());
            }
            break;
        case DISPID_FORECOLOR:
            if (!changingFont_) {
                TScopedFlag guard(changingFont_);
                Font().SetColor(ReadIntProperty(DISPID_FORECOLOR));
            }
            break;
        default:
            break;
        }
    } catch (const TOleError&) {
    }
}

void TqelOleControl::SetName(const std::string& name) {
    const std::string oldName = Name();
    TControl::SetName(name);
    if (!controlIntf_)
        return;
    controlIntf_->OnAmbientPropertyChange(DISPID_AMBIENT_DISPLAYNAME);
    const uint32_t flags = descriptor_->stockFlags;
    if (flags & (StockFlag::kCaption | StockFlag::kText)) {
        const DISPID property = flags & StockFlag::kCaption ? DISPID_CAPTION : DISPID_TEXT;
        if (ReadTextProperty(property) == oldName)
            WriteTextProperty(property, name);
    }
}

std::vector<uint8_t> TqelOleControl::SaveStoredData() {
    try {
        if (storedState_)
            return GlobalBytes(storedState_.Get(), GlobalSize(storedState_.Get()));
        TGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, 0));
        if (!block)
            throw TOutOfMemory();
        ComPtr<IStream> stream;
        OleCheck(CreateStreamOnHGlobal(block.Get(), FALSE, &stream));
        OleCheck(persistIntf_->Save(stream.Get(), TRUE));
        // The stream may have moved the block as it grew.
        HGLOBAL current = nullptr;
        OleCheck(GetHGlobalFromStream(stream.Get(), &current));
        block.Release();
        block.Reset(current);
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        return GlobalBytes(block.Get(), static_cast<SIZE_T>(stat.cbSize.QuadPart));
    } catch (const std::exception& error) {
        if (FilterDesignError(error))
            return {};
        throw;
    }
}

void TqelOleControl::LoadStoredData(const std::vector<uint8_t>& bytes) {
    storedState_.Reset();
    // A failure only loses the stored state.
    TGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!block)
        return;
    {
        const TGlobalLock memory(block.Get());
        if (!memory.Data())
            return;
        std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(memory.Data()));
    }
    storedState_ = std::move(block);
}

void TqelOleControl::DefineProperties(TFiler& filer) {
    TControl::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "ControlData",
        [this](TStream& reader) {
            std::vector<uint8_t> bytes(static_cast<size_t>(reader.Size()));
            reader.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
            LoadStoredData(bytes);
        },
        [this](TStream& writer) {
            const std::vector<uint8_t> bytes = SaveStoredData();
            writer.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        },
        HasStoredData());
}
