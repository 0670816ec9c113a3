// The words for a song file that could not be read or written, and for any file that could not
// be written.
#pragma once

#include <QString>

struct FileWriteError;
struct SongFileError;

/// One sentence for a message box or the command line; empty for no error.
QString DescribeSongFileError(const SongFileError& error);

/// Why a file could not be written, with the system's reason; empty for no error.
QString DescribeFileWriteError(const FileWriteError& error);
