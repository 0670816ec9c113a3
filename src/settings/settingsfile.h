// Where the settings file lives and how the record is read from and written to it.
#pragma once

#include "envsettings.h"

#include <filesystem>

/// KesV.env beside the program when such a file exists and is writable (a portable
/// install), otherwise $XDG_CONFIG_HOME/KesV/KesV.env (~/.config/KesV/KesV.env).
std::filesystem::path DefaultSettingsPath();

/// Reads up to 360 bytes into a zeroed record; a short file fills only the beginning.
/// Without a readable file the record gets its defaults. Values are not range-checked.
EnvSettings LoadSettings(const std::filesystem::path& path);

/// The record from the bytes of a settings file, as LoadSettings takes them.
EnvSettings SettingsFromBytes(const void* data, size_t size);

/// Writes the 360 bytes atomically (temporary file, then rename); creates the folder.
/// Returns false when the file could not be written; the old file then stays intact.
bool SaveSettings(const EnvSettings& settings, const std::filesystem::path& path);

/// Writes bytes to a file atomically: a temporary file in the same folder, flushed,
/// then renamed over the target.
bool WriteFileAtomically(const std::filesystem::path& path, const void* data, size_t size);
