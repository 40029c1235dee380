#pragma once
// What the viewer relies on of the hosted movie-player control: its class, its dual player
// interface (three methods at fixed slots), its event interface and the dispatch identifiers
// of its events and properties. Any component that honours these may take the control's place.

#include <oaidl.h>
#include <objbase.h>

#include "qel/host/flash_properties.h"

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID CLSID_ShockwaveFlash = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6C-AE6D-11CF-96B8-444553540000}
inline constexpr IID IID_IShockwaveFlash = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The outgoing event interface: {D27CDB6D-AE6D-11CF-96B8-444553540000}
inline constexpr IID DIID_ShockwaveFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Events, in the order of the host's handler slots.
namespace FlashEvent {
constexpr DISPID kReadyStateChange = -609; // newState: VT_I4
constexpr DISPID kOnProgress = 1958;       // percentDone: VT_I4
constexpr DISPID kFSCommand = 150;         // command, args: VT_BSTR
constexpr DISPID kFlashCall = 197;         // request: VT_BSTR
} // namespace FlashEvent

// The dual player interface. Slots are counted from 0 with IUnknown (0-2) and IDispatch (3-6)
// included; the viewer calls only FlashVersion (39), LoadMovie (58) and SetVariable (65). The
// other slots are kept only so that these three sit where the control has them.
#define LEAFTURN_FLASH_UNUSED_SLOT(n) virtual HRESULT STDMETHODCALLTYPE UnusedSlot##n() = 0;
struct IShockwaveFlash : public IDispatch {
    LEAFTURN_FLASH_UNUSED_SLOT(7)
    LEAFTURN_FLASH_UNUSED_SLOT(8)
    LEAFTURN_FLASH_UNUSED_SLOT(9)
    LEAFTURN_FLASH_UNUSED_SLOT(10)
    LEAFTURN_FLASH_UNUSED_SLOT(11)
    LEAFTURN_FLASH_UNUSED_SLOT(12)
    LEAFTURN_FLASH_UNUSED_SLOT(13)
    LEAFTURN_FLASH_UNUSED_SLOT(14)
    LEAFTURN_FLASH_UNUSED_SLOT(15)
    LEAFTURN_FLASH_UNUSED_SLOT(16)
    LEAFTURN_FLASH_UNUSED_SLOT(17)
    LEAFTURN_FLASH_UNUSED_SLOT(18)
    LEAFTURN_FLASH_UNUSED_SLOT(19)
    LEAFTURN_FLASH_UNUSED_SLOT(20)
    LEAFTURN_FLASH_UNUSED_SLOT(21)
    LEAFTURN_FLASH_UNUSED_SLOT(22)
    LEAFTURN_FLASH_UNUSED_SLOT(23)
    LEAFTURN_FLASH_UNUSED_SLOT(24)
    LEAFTURN_FLASH_UNUSED_SLOT(25)
    LEAFTURN_FLASH_UNUSED_SLOT(26)
    LEAFTURN_FLASH_UNUSED_SLOT(27)
    LEAFTURN_FLASH_UNUSED_SLOT(28)
    LEAFTURN_FLASH_UNUSED_SLOT(29)
    LEAFTURN_FLASH_UNUSED_SLOT(30)
    LEAFTURN_FLASH_UNUSED_SLOT(31)
    LEAFTURN_FLASH_UNUSED_SLOT(32)
    LEAFTURN_FLASH_UNUSED_SLOT(33)
    LEAFTURN_FLASH_UNUSED_SLOT(34)
    LEAFTURN_FLASH_UNUSED_SLOT(35)
    LEAFTURN_FLASH_UNUSED_SLOT(36)
    LEAFTURN_FLASH_UNUSED_SLOT(37)
    LEAFTURN_FLASH_UNUSED_SLOT(38)
    // Slot 39: the high 16 bits of *version are the major version.
    virtual HRESULT STDMETHODCALLTYPE FlashVersion(long* version) = 0;
    LEAFTURN_FLASH_UNUSED_SLOT(40)
    LEAFTURN_FLASH_UNUSED_SLOT(41)
    LEAFTURN_FLASH_UNUSED_SLOT(42)
    LEAFTURN_FLASH_UNUSED_SLOT(43)
    LEAFTURN_FLASH_UNUSED_SLOT(44)
    LEAFTURN_FLASH_UNUSED_SLOT(45)
    LEAFTURN_FLASH_UNUSED_SLOT(46)
    LEAFTURN_FLASH_UNUSED_SLOT(47)
    LEAFTURN_FLASH_UNUSED_SLOT(48)
    LEAFTURN_FLASH_UNUSED_SLOT(49)
    LEAFTURN_FLASH_UNUSED_SLOT(50)
    LEAFTURN_FLASH_UNUSED_SLOT(51)
    LEAFTURN_FLASH_UNUSED_SLOT(52)
    LEAFTURN_FLASH_UNUSED_SLOT(53)
    LEAFTURN_FLASH_UNUSED_SLOT(54)
    LEAFTURN_FLASH_UNUSED_SLOT(55)
    LEAFTURN_FLASH_UNUSED_SLOT(56)
    LEAFTURN_FLASH_UNUSED_SLOT(57)
    // Slot 58: loads url into layer, fetching it through the host's binding host.
    virtual HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) = 0;
    LEAFTURN_FLASH_UNUSED_SLOT(59)
    LEAFTURN_FLASH_UNUSED_SLOT(60)
    LEAFTURN_FLASH_UNUSED_SLOT(61)
    LEAFTURN_FLASH_UNUSED_SLOT(62)
    LEAFTURN_FLASH_UNUSED_SLOT(63)
    LEAFTURN_FLASH_UNUSED_SLOT(64)
    // Slot 65: sets a variable of the running movie.
    virtual HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) = 0;
};
#undef LEAFTURN_FLASH_UNUSED_SLOT

__CRT_UUID_DECL(IShockwaveFlash, 0xD27CDB6C, 0xAE6D, 0x11CF, 0x96, 0xB8, 0x44, 0x45, 0x53, 0x54,
                0x00, 0x00)
