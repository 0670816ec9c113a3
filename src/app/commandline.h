// The command line: its options and their help, and what it runs without a window (the
// conversions, the lists of tracks and tunes, --help and --version).
#pragma once

#include "exchange/conversion.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class CMainFrame;

struct CommandLine {
    QStringList songs;
    QString screenshot;
    bool probe = false;
    QList<std::pair<Conversion, QString>> conversions; // each with the file it writes
    QStringList listTracks;                            // the MIDI files whose tracks to list
    QStringList tracks;                                // --track: N or N:CHANNEL
    QStringList times;                                 // --time: BEATS/UNIT
    QStringList listTunes;                             // the ABC files whose tunes to list
    QStringList tunes;                                 // --tune: an X: number
    bool noNormalize = false;
    QString error; // the parser's complaint; the usage follows it
    QString help;
};

/// The arguments as text, the program's name first.
QStringList Arguments(int argc, char** argv);

/// kesv [song.kes], or one conversion: kesv --export-midi OUT.mid SONG.kes and the like. The
/// developer options stay out of the help: --screenshot <png> saves the painted main window
/// (scripts/screenshot.sh), --startup-probe reports it shown (the start-up benchmark). --help
/// and --version print and end the program here; a wrong option is left in `error`.
CommandLine ParseCommandLine(const QStringList& arguments);

/// Whether the arguments ask for no window (--help, --version, a conversion or one of its
/// options), so that no display is needed.
bool NeedsNoWindow(int argc, char** argv);

/// Runs a line that needs no window, or says what is wrong with it followed by the usage;
/// returns the exit status.
int RunWindowlessLine(const CommandLine& line);

/// "Cannot open a display (…)" for the one line the program prints without one.
QString CannotOpenDisplayText(const QString& problem);

/// Once the window is on the screen and painted: saves it as an image (when `screenshot` is
/// given) or prints "shown <resident kB>", then ends the program.
void ReportWhenShown(CMainFrame* frame, const QString& screenshot);
