#include "envsettings.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// cp932 bytes of the default face "ＭＳ ゴシック" and style "標準".
constexpr char kDefaultFace[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";
constexpr char kDefaultStyle[] = "\x95\x57\x8f\x80";

} // namespace

void EnvSettings::SetDefaults() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    font.height = 12;
    font.charSet = 128;
    font.pitchAndFamily = 1;
    std::memcpy(font.faceName, kDefaultFace, sizeof(kDefaultFace));
    std::memcpy(styleName, kDefaultStyle, sizeof(kDefaultStyle));
    flags = 1u << kBeatUnitShift;
    beatsPerBar = 4;
    ResetKeyBindings();
}

void EnvSettings::ResetKeyBindings() {
    for (BindingTable& table : bindings)
        table.fill(0);
    for (const DefaultBinding& binding : kDefaultBindings)
        (*GetBindingTable(binding.modifiers))[binding.slot] = int32_t(binding.function);
}

const BindingTable* EnvSettings::GetBindingTable(int modifiers) const {
    switch (modifiers) {
    case 0:
        return &bindings[0];
    case kModShift:
        return &bindings[1];
    case kModCtrl:
        return &bindings[2];
    case kModShift | kModCtrl:
        return &bindings[3];
    default:
        return nullptr;
    }
}

BindingTable* EnvSettings::GetBindingTable(int modifiers) {
    return const_cast<BindingTable*>(std::as_const(*this).GetBindingTable(modifiers));
}

TimeSignature EnvSettings::GetTimeSignature() const {
    return {beatsPerBar == 0 ? 1 : int(beatsPerBar), GetBeatUnit()};
}

int EnvSettings::GetTicksPerBeat() const {
    return ::GetTicksPerBeat(GetTimeSignature());
}

int EnvSettings::GetTicksPerBar() const {
    return ::GetTicksPerBar(GetTimeSignature());
}

void EnvSettings::SetNameField(char (&field)[kDeviceNameBytes], const std::string& name) {
    std::memset(field, 0, kDeviceNameBytes);
    std::memcpy(field, name.data(), std::min<size_t>(name.size(), kDeviceNameBytes - 1));
}

std::string EnvSettings::NameField(const char (&field)[kDeviceNameBytes]) {
    const char* end = std::find(field, field + kDeviceNameBytes, '\0');
    return std::string(field, end);
}
