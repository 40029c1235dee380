// The private interface's view of the player's properties, and the faults it makes them answer.

#include "flash_standin/standin_object.h"

HRESULT TStandinControl::GetProperty(DISPID dispid, VARIANT* value) {
    return Private([&] { return properties_.Get(dispid, value); });
}

HRESULT TStandinControl::FailProperty(DISPID dispid, HRESULT code, LPCWSTR description) {
    return Private([&] {
        if (code == S_OK)
            propertyFaults_.erase(dispid);
        else
            propertyFaults_[dispid] = {code, description ? description : L""};
        return S_OK;
    });
}
