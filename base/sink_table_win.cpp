#include "base/sink_table_win.h"

#include <olectl.h>

HRESULT TSinkTable::Advise(const IID& iid, IUnknown* sink, DWORD* cookie) {
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    ComPtr<IUnknown> typed;
    if (FAILED(sink->QueryInterface(iid, reinterpret_cast<void**>(typed.GetAddressOf()))) || !typed)
        return CONNECT_E_CANNOTCONNECT;
    sinks_[nextCookie_] = typed;
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT TSinkTable::Unadvise(DWORD cookie) {
    const auto found = sinks_.find(cookie);
    if (found == sinks_.end())
        return CONNECT_E_NOCONNECTION;
    const ComPtr<IUnknown> sink = std::move(found->second);
    sinks_.erase(found);
    return S_OK;
}

std::vector<ComPtr<IUnknown>> TSinkTable::Sinks() const {
    std::vector<ComPtr<IUnknown>> sinks;
    for (const auto& [cookie, sink] : sinks_)
        sinks.push_back(sink);
    return sinks;
}
