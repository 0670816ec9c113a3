// The code and pitch bounds and the special function keys the step editor's files share.
#pragma once

#include <cstdint>

namespace editorcodes {
inline constexpr int kTieKey = 10;  // F11 alone
inline constexpr int kRestKey = 11; // F12 alone

inline constexpr int kMinCode = 0xC0;
inline constexpr int kMaxCode = 0xDF;
inline constexpr int kMinPitch = 24;
inline constexpr int kMaxPitch = 95;
} // namespace editorcodes
