// The texts, prompts, icons, keys and tool tips of the commands the main frame creates itself.
#pragma once

#include <QIcon>
#include <QKeyCombination>

#include <span>

struct CommandEntry {
    int id;                        // cmd::…
    const char* text;              // source texts of the context CMainFrame
    const char* prompt;            // for the status bar; null: none
    const char* icon;              // a resource; null: none
    QKeyCombination keys[2];       // QKeyCombination(): no key
    const char* toolTip = nullptr; // for a tool-bar button
};

std::span<const CommandEntry> FrameCommands();

/// The entry's icon (none without one) with its picture for twice the pixel density
/// (`name@2x.png`), also where Qt would not add it itself: a window moved to a denser screen.
/// For a dark palette its dark colours are lightened, so that it stands out on a dark bar.
QIcon CommandIcon(const CommandEntry& entry, bool darkPalette = false);
