// The texts, prompts, icons and keys of the commands the main frame creates itself.
#pragma once

#include <QKeyCombination>

#include <span>

struct CommandEntry {
    int id;                  // cmd::…
    const char* text;        // source texts of the context CMainFrame
    const char* prompt;      // for the status bar; null: none
    const char* icon;        // a resource; null: none
    QKeyCombination keys[2]; // QKeyCombination(): no key
};

std::span<const CommandEntry> FrameCommands();
