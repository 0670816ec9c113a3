// The settings record: input method, time signature, MIDI device names and the four key
// binding tables. Its 360 bytes are also the layout of the settings file.
#pragma once

#include "settings/keyvocabulary.h"
#include "song/musictime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kDeviceNameBytes = 32;

/// A font description in the byte layout the settings file keeps (60 bytes).
struct FontRecord {
    int32_t height;
    int32_t width;
    int32_t escapement;
    int32_t orientation;
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    uint8_t strikeOut;
    uint8_t charSet;
    uint8_t outPrecision;
    uint8_t clipPrecision;
    uint8_t quality;
    uint8_t pitchAndFamily;
    char faceName[32]; // cp932, zero-terminated
};

using BindingTable = std::array<int32_t, kBindableKeyCount>;

struct EnvSettings {
    FontRecord font;
    char styleName[20]; // cp932, zero-terminated
    uint32_t flags;     // bit 0 input method, bits 6-7 beat-unit index
    uint8_t beatsPerBar;
    char midiInName[kDeviceNameBytes]; // zero-terminated, empty = no device
    char midiOutName[kDeviceNameBytes];
    uint8_t padding[3];
    BindingTable bindings[4]; // none, SHIFT, CTRL, SHIFT+CTRL

    static constexpr uint32_t kFlagPianoInput = 1u << 0;
    static constexpr int kBeatUnitShift = 6;
    static constexpr uint32_t kBeatUnitMask = 3u << kBeatUnitShift;

    /// Every byte 0, then the defaults: 4/4, note names typed, no devices, default keys.
    void SetDefaults();
    /// The default bindings in all four tables; nothing else changes.
    void ResetKeyBindings();
    /// 0, 4, 8 and 12 give the four tables; any other mask gives nullptr.
    BindingTable* GetBindingTable(int modifiers);
    const BindingTable* GetBindingTable(int modifiers) const;

    bool IsPianoInput() const { return (flags & kFlagPianoInput) != 0; }
    int GetBeatUnitIndex() const { return int((flags & kBeatUnitMask) >> kBeatUnitShift); }
    /// 2, 4, 8 or 16.
    int GetBeatUnit() const { return 2 << GetBeatUnitIndex(); }
    TimeSignature GetTimeSignature() const;
    int GetTicksPerBeat() const;
    int GetTicksPerBar() const;

    /// A device name up to its first zero byte, at most 32 bytes.
    std::string InputDeviceName() const { return NameField(midiInName); }
    std::string OutputDeviceName() const { return NameField(midiOutName); }
    /// Stores a name of at most 31 bytes, zero-filling the rest; an empty name clears it.
    static void SetNameField(char (&field)[kDeviceNameBytes], const std::string& name);
    static std::string NameField(const char (&field)[kDeviceNameBytes]);
};

static_assert(sizeof(FontRecord) == 60);
static_assert(sizeof(EnvSettings) == 360);
static_assert(offsetof(EnvSettings, styleName) == 60);
static_assert(offsetof(EnvSettings, flags) == 80);
static_assert(offsetof(EnvSettings, beatsPerBar) == 84);
static_assert(offsetof(EnvSettings, midiInName) == 85);
static_assert(offsetof(EnvSettings, midiOutName) == 117);
static_assert(offsetof(EnvSettings, bindings) == 152);
static_assert(offsetof(EnvSettings, bindings) + 52 == 204);
