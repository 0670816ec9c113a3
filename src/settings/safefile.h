// Files written so that a failure never damages the old one: every writer of the program
// (songs, the settings file, exports, the profile) goes through here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

/// Why a file could not be written: the step that failed and the system's error number (0
/// where the step has none). The user interface puts it into words.
struct FileWriteError {
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

struct SafeWriteOptions {
    bool createFolder = false; // create the missing folders on the way
    /// A writable file in a folder that takes no new file is written over in place. For small
    /// files only: a write of a few hundred bytes over the blocks the file has fails whole or
    /// not at all; a larger one could stop part way and damage it.
    bool inPlaceFallback = false;
};

/// Writes `bytes` to a temporary file beside `path` (".NAME.kesv-XXXXXX"), checks every write
/// and the flush to disk, and renames it over `path` only when all went well: a failure (a full
/// disk, a file-size limit) leaves the old file as it was and removes the temporary file. A
/// symbolic link is written through (the file it names changes, the link stays); an old file
/// keeps its mode and, as far as allowed, its owner; a new one gets the mode any new file gets.
/// A file without write permission is never written. Removes what interrupted writes of the
/// same file left behind. On failure returns false with the step that failed in `error`.
bool WriteFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                     FileWriteError* error, const SafeWriteOptions& options = {});

/// Removes the temporary files that writes of `path` (through links: of the file it names)
/// left behind when they were killed: only files of WriteFileSafely's pattern, owned by this
/// user, that no running write holds (each holds a lock on its temporary file).
void RemoveStaleTemporaries(const std::filesystem::path& path);
