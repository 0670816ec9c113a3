// Where the settings file lives and how the record is read from and written to it.
#pragma once

#include "envsettings.h"
#include "safefile.h"

#include <filesystem>

/// Why a settings file could not be written.
using SettingsFileError = FileWriteError;

/// KesV.env beside the program when such a file exists and is writable (a portable
/// install), otherwise KesV/KesV.env in the user's config folder (~/.config/KesV/KesV.env).
std::filesystem::path DefaultSettingsPath();

/// Reads up to 360 bytes into a zeroed record; a short file fills only the beginning.
/// Without a readable regular file (missing, a folder, a FIFO, a device) the record gets
/// its defaults; the read never blocks. Values are not range-checked.
EnvSettings LoadSettings(const std::filesystem::path& path);

/// The record from the bytes of a settings file, as LoadSettings takes them.
EnvSettings SettingsFromBytes(const void* data, size_t size);

/// Writes the 360 bytes through WriteFileSafely, so that a crash or a full disk leaves the old
/// or the new settings. When the folder takes no new file, an existing writable file is
/// written in place and flushed. Creates the folder. On failure returns false with the step
/// that failed in `error`.
bool SaveSettings(const EnvSettings& settings, const std::filesystem::path& path,
                  SettingsFileError* error = nullptr);
