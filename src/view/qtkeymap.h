// Qt key events as the step editor sees them: virtual-key codes, modifiers and characters.
#pragma once

#include <QList>
#include <Qt>

class QKeyEvent;

/// The editor's virtual-key code (vk:: in stepeditor.h) of a Qt key, or 0 for other keys.
int VirtualKeyFromQtKey(int qtKey);

/// Whether the modifier vk::Shift, vk::Control or vk::Menu (ALT) is among the modifiers.
bool IsModifierHeld(Qt::KeyboardModifiers modifiers, int virtualKey);

/// Whether the event is one of the frame's accelerator combinations (Ctrl+N, O, S, P, Z, Y,
/// X, C, V, Ctrl+Shift+Z, Alt+Backspace, Shift+Delete, Ctrl+Insert, Shift+Insert), which never
/// reach the editor, whether or not their commands are enabled.
bool IsFrameAccelerator(const QKeyEvent& event);
bool IsFrameAccelerator(int qtKey, Qt::KeyboardModifiers modifiers);

/// The characters the event hands to CStepEditor::OnChar, one code point each. Backspace,
/// Tab, Enter and Esc give 8, 9, 13 and 27 even when the platform sends no text for them.
QList<unsigned int> EditorCharacters(const QKeyEvent& event);
