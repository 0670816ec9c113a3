// The menus for screen readers: the same tree Qt gives them, with each caption named without
// its mnemonic ("ﾌｧｲﾙ(&F)" is "ﾌｧｲﾙ", "開く(&O)..." is "開く..."). Qt would say the
// parenthesised letter as part of the name; the letter stays the item's key binding.
#pragma once

#include <QString>

class QObject;
class QAccessibleInterface;

/// A menu caption as it is spoken: without the "(&N)" mnemonic and without single '&'.
QString SpokenMenuCaption(const QString& caption);

/// Makes Qt ask for the menus' and the menu bar's accessible interfaces here.
void InstallMenuAccessibility();
