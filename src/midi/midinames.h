// Device names as the settings store them: stable across runs, unique, at most 31 bytes.
#pragma once

#include <string>
#include <vector>

constexpr size_t kMaxDeviceNameBytes = 31;

/// Removes the parts of a port name that change from run to run: ALSA's trailing
/// "client:port" numbers and bracketed client numbers such as " [14]".
std::string StripVolatileNumbers(const std::string& name);

/// Cuts a name to at most maxBytes bytes without splitting a UTF-8 character.
std::string TruncateName(const std::string& name, size_t maxBytes = kMaxDeviceNameBytes);

/// Makes every name at most 31 bytes and unique: a later duplicate gets " (2)", " (3)"...
/// at its end, cut to fit. Earlier names keep theirs, so a list keeps its names stable.
void MakeNamesUnique(std::vector<std::string>& names);
