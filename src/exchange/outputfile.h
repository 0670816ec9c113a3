// Output files that are never destroyed: standard output, devices and FIFOs written in place,
// regular files replaced only once the new bytes are safely written.
#pragma once

#include <QString>

#include <cstdint>
#include <span>

/// Writes `bytes` to `path` without ever destroying a file that is not ours to replace: "-"
/// is standard output, an existing device or FIFO is written in place, a regular file is
/// replaced through WriteFileSafely (a failed write leaves the old file as it was).
bool WriteOutputFile(const QString& path, std::span<const uint8_t> bytes, QString* error);

/// Whether two paths name the same file (same device and inode, through links).
bool IsSameFile(const QString& first, const QString& second);

/// Whether the name of an output must carry its type's extension: not standard output ("-")
/// nor a device or FIFO that is there already.
bool NamesItsType(const QString& path);
