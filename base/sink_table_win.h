#pragma once
// The sinks of one connection point, by cookie: what every connection point of ours keeps.

#include <map>
#include <vector>

#include "base/com_win.h"

class TSinkTable {
public:
    // Connects sink by its interface iid; CONNECT_E_CANNOTCONNECT when it has none.
    HRESULT Advise(const IID& iid, IUnknown* sink, DWORD* cookie);
    // The sink is released after it has left the table, in case it calls back.
    HRESULT Unadvise(DWORD cookie);
    // The connected sinks, each already the point's interface; a copy, so that a sink may
    // disconnect while it is being called.
    std::vector<ComPtr<IUnknown>> Sinks() const;
    void Clear() { sinks_.clear(); }

private:
    DWORD nextCookie_ = 1;
    std::map<DWORD, ComPtr<IUnknown>> sinks_;
};
