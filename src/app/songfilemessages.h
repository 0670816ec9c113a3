// The words for a song file that could not be read or written.
#pragma once

#include <QString>

struct SongFileError;

/// One sentence for a message box or the command line; empty for no error.
QString DescribeSongFileError(const SongFileError& error);
