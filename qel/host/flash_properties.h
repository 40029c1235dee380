#pragma once
// The dispatch identifiers of the hosted movie-player control's properties. Portable: the stored
// state that carries them is read on every platform.

#include <cstdint>

// Properties, reached through IDispatch::Invoke.
namespace FlashProperty {
constexpr int32_t kQuality = 105;           // VT_I4
constexpr int32_t kLoop = 106;              // VT_BOOL
constexpr int32_t kFrameNum = 107;          // VT_I4
constexpr int32_t kScaleMode = 120;         // VT_I4
constexpr int32_t kAlignMode = 121;         // VT_I4
constexpr int32_t kBackgroundColor = 123;   // VT_I4
constexpr int32_t kPlaying = 125;           // VT_BOOL
constexpr int32_t kWMode = 133;             // VT_BSTR, "Transparent" for windowless hosting
constexpr int32_t kSAlign = 134;            // VT_BSTR
constexpr int32_t kMenu = 135;              // VT_BOOL
constexpr int32_t kBase = 136;              // VT_BSTR
constexpr int32_t kScale = 137;             // VT_BSTR
constexpr int32_t kDeviceFont = 138;        // VT_BOOL
constexpr int32_t kEmbedMovie = 139;        // VT_BOOL
constexpr int32_t kBGColor = 140;           // VT_BSTR
constexpr int32_t kQuality2 = 141;          // VT_BSTR
constexpr int32_t kSWRemote = 159;          // VT_BSTR
constexpr int32_t kFlashVars = 170;         // VT_BSTR
constexpr int32_t kAllowScriptAccess = 171; // VT_BSTR
constexpr int32_t kMovieData = 190;         // VT_BSTR
constexpr int32_t kSeamlessTabbing = 192;   // VT_BOOL
} // namespace FlashProperty
