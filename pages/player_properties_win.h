#pragma once
// The movie-player control's properties by dispatch identifier, kept as any control that takes
// its place keeps them, and the stored state that carries them with the control's extent
// (player_state.h).

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include "pages/player_state.h"

class TPlayerProperties {
public:
    TPlayerProperties() { Reset(); }

    // Every property back to its initial value.
    void Reset();
    static bool Known(DISPID dispid);
    // The identifier of a property name (any letter case), or DISPID_UNKNOWN.
    static DISPID IdOfName(const wchar_t* name);

    // A get or put of a property as IDispatch::Invoke receives it (the interface identifier
    // already checked): a put carries one argument named DISPID_PROPERTYPUT, converted to the
    // property's type; a get needs no argument and a result. DISP_E_MEMBERNOTFOUND for other
    // identifiers and for methods.
    HRESULT Invoke(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   UINT* argumentError);
    // The value as a variant of the property's type (a new string for texts).
    HRESULT Get(DISPID dispid, VARIANT* value) const;

    // The stored state: magic, format 1, the extent, then one record per property.
    std::vector<uint8_t> Save(const char (&magic)[4], const SIZEL& extent) const;
    // Reads state that Save wrote with the same magic and takes it over only when all of it is
    // sound; otherwise changes nothing and says why in problem.
    bool Load(IStream* stream, const char (&magic)[4], SIZEL& extent, std::wstring& problem);

private:
    TStoredValues values_;
};
