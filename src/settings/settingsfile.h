// Where the settings file lives and how the record is read from and written to it.
#pragma once

#include "envsettings.h"

#include <filesystem>

/// Why a settings file could not be written: the step that failed and the system's error
/// number (0 where the step has none). The user interface puts it into words.
struct SettingsFileError {
    enum class Step {
        None,
        ReadLink,     // a symbolic link on the way cannot be read, or they loop
        Open,         // the file cannot be opened to be written in place
        Write,        // writing or flushing failed
        NotRegular,   // the path names a folder, a device or the like
        ReadOnly,     // the file has no write permission
        CreateFolder, // the folder cannot be created
        Create,       // the temporary file cannot be created
        Replace,      // the temporary file cannot be renamed over the old one
    };
    Step step = Step::None;
    int systemError = 0;
};

/// KesV.env beside the program when such a file exists and is writable (a portable
/// install), otherwise KesV/KesV.env in the user's config folder (~/.config/KesV/KesV.env).
std::filesystem::path DefaultSettingsPath();

/// Reads up to 360 bytes into a zeroed record; a short file fills only the beginning.
/// Without a readable regular file (missing, a folder, a FIFO, a device) the record gets
/// its defaults; the read never blocks. Values are not range-checked.
EnvSettings LoadSettings(const std::filesystem::path& path);

/// The record from the bytes of a settings file, as LoadSettings takes them.
EnvSettings SettingsFromBytes(const void* data, size_t size);

/// Writes the 360 bytes safely: to a temporary file in the same folder, flushed, then
/// renamed over the file, so that a crash leaves the old or the new settings. A symbolic
/// link is written through (the file it names changes, the link stays) and the file's
/// mode is kept. When the folder takes no new file, an existing writable file is written
/// in place and flushed. A file without write permission is never written. Creates the
/// folder. On failure returns false with the step that failed in `error`.
bool SaveSettings(const EnvSettings& settings, const std::filesystem::path& path,
                  SettingsFileError* error = nullptr);
