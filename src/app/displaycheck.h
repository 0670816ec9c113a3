// Whether the window can be shown at all: Qt aborts when it finds no display, so the program
// looks first and says so in one line.
#pragma once

#include <QString>

/// Empty when a display can be opened (or a platform other than X11 and Wayland is asked
/// for); otherwise what is missing, for the message "cannot open a display (…)". Call it
/// before any application object exists; its words are put in DescribeDisplayProblem.
QString DisplayProblem();

/// The reason DisplayProblem found, in the user's language: call it once the translations
/// are installed.
QString DescribeDisplayProblem(const QString& problem);

/// Ends the connection DisplayProblem kept open; call it once the application's own
/// connection is up.
void ReleaseDisplayCheck();
