#pragma once
// The movie-player control's properties as any control that takes its place keeps them, and the
// stored state that carries them with the control's extent: a four-byte mark of the control,
// format 1, the extent, then one record per property (the layout is in flash_standin/README.md,
// "Stored state"). Portable, so that reading state runs under the sanitizers.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The marks of the two controls that store this state.
inline constexpr char kStandinStateMagic[4] = {'L', 'T', 'S', 'C'};
inline constexpr char kPageTurnStateMagic[4] = {'L', 'T', 'P', 'T'};

// How a property is stored: its variant type (VT_I4, VT_BOOL, VT_BSTR).
enum class TStoredType : uint16_t { Integer = 3, Flag = 11, Text = 8 };

struct TPlayerProperty {
    int32_t dispid;
    const wchar_t* name;
    TStoredType type;
    int32_t number;      // initial Integer or Flag value (a flag is -1 or 0)
    const wchar_t* text; // initial Text value
};

// Every property, in the order the state stores them.
std::span<const TPlayerProperty> PlayerProperties();
const TPlayerProperty* FindPlayerProperty(int32_t dispid);

struct TStoredValue {
    int32_t number = 0; // Integer, Flag
    std::wstring text;  // Text, in UTF-16 units
};
using TStoredValues = std::map<int32_t, TStoredValue>; // by dispid, one for every property

// Every property at its initial value.
TStoredValues InitialPlayerValues();

// No property text of a movie comes near this; a longer one marks the state as damaged.
inline constexpr uint32_t kMaxStoredText = 1u << 20;

std::vector<uint8_t> EncodePlayerState(const char (&magic)[4], int32_t cx, int32_t cy,
                                       const TStoredValues& values);

struct TPlayerState {
    int32_t cx = 0, cy = 0; // the extent
    TStoredValues values;
};

// Exactly count bytes into buffer, or false when the bytes end or fail first.
using TReadExact = std::function<bool(void* buffer, uint32_t count)>;

// Reads state that EncodePlayerState wrote with the same magic, and not a byte beyond it;
// properties it does not name keep their initial values. Damaged, truncated or foreign state
// gives nothing, and why in problem.
std::optional<TPlayerState> DecodePlayerState(const TReadExact& read, const char (&magic)[4],
                                              std::string& problem);
