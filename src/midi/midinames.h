// Device names as the settings store them: cp932 like all text of the settings, stable across
// runs, unique, at most 31 bytes.
#pragma once

#include <string>
#include <vector>

constexpr size_t kMaxDeviceNameBytes = 31;

/// The program's client name in the MIDI systems; JACK gets "KesV-2" and so on when it is taken.
constexpr const char* kOwnClientName = "KesV";

/// True for a full port name ("client:port") of one of the program's own clients.
bool IsOwnPortName(const std::string& fullName);

/// What a character cp932 lacks becomes in a device name, always the same so that a port
/// keeps its name.
constexpr char kUnmappableNameChar = '?';

/// Removes the parts of a port name that change from run to run: ALSA's trailing
/// "client:port" numbers and bracketed client numbers such as " [14]".
std::string StripVolatileNumbers(const std::string& name);

/// A port's name (UTF-8, as the MIDI systems give it) in cp932. ASCII stays as it is.
std::string ToDeviceName(const std::string& utf8);

enum class NameEncoding { Cp932, Utf8 };

/// Cuts a name to at most maxBytes bytes without splitting a character.
std::string TruncateName(const std::string& name, size_t maxBytes = kMaxDeviceNameBytes,
                         NameEncoding encoding = NameEncoding::Cp932);

/// Makes every name at most 31 bytes and unique: a later duplicate gets " (2)", " (3)"...
/// at its end, cut to fit. Earlier names keep theirs, so a list keeps its names stable.
/// Utf8 gives the names as they were kept before names were cp932.
void MakeNamesUnique(std::vector<std::string>& names, NameEncoding encoding = NameEncoding::Cp932);
