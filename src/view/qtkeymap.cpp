#include "qtkeymap.h"

#include "editor/stepeditor.h"

#include <QKeyEvent>

int VirtualKeyFromQtKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Home:
        return vk::Home;
    case Qt::Key_End:
        return vk::End;
    case Qt::Key_PageUp:
        return vk::Prior;
    case Qt::Key_PageDown:
        return vk::Next;
    case Qt::Key_Up:
        return vk::Up;
    case Qt::Key_Down:
        return vk::Down;
    case Qt::Key_Left:
        return vk::Left;
    case Qt::Key_Right:
        return vk::Right;
    case Qt::Key_Insert:
        return vk::Insert;
    case Qt::Key_Delete:
        return vk::Delete;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Return;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Qt reports SHIFT+Tab as its own key
        return vk::Tab;
    default:
        break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return vk::F1 + (qtKey - Qt::Key_F1);
    return 0;
}

bool IsModifierHeld(Qt::KeyboardModifiers modifiers, int virtualKey) {
    switch (virtualKey) {
    case vk::Shift:
        return modifiers.testFlag(Qt::ShiftModifier);
    case vk::Control:
        return modifiers.testFlag(Qt::ControlModifier);
    case vk::Menu:
        return modifiers.testFlag(Qt::AltModifier);
    default:
        return false;
    }
}

bool IsFrameAccelerator(int qtKey, Qt::KeyboardModifiers modifiers) {
    // An accelerator matches its modifiers exactly; the keypad flag does not count.
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (held == Qt::ControlModifier) {
        switch (qtKey) {
        case Qt::Key_N:
        case Qt::Key_O:
        case Qt::Key_S:
        case Qt::Key_P:
        case Qt::Key_Z:
        case Qt::Key_X:
        case Qt::Key_C:
        case Qt::Key_V:
        case Qt::Key_Y:
        case Qt::Key_Insert:
            return true;
        default:
            return false;
        }
    }
    if (held == (Qt::ControlModifier | Qt::ShiftModifier))
        return qtKey == Qt::Key_Z;
    if (held == Qt::ShiftModifier)
        return qtKey == Qt::Key_Delete || qtKey == Qt::Key_Insert;
    if (held == Qt::AltModifier)
        return qtKey == Qt::Key_Backspace;
    return false;
}

bool IsFrameAccelerator(const QKeyEvent& event) {
    return IsFrameAccelerator(event.key(), event.modifiers());
}

QList<unsigned int> EditorCharacters(const QKeyEvent& event) {
    QList<unsigned int> characters;
    const QString text = event.text();
    if (text.isEmpty()) {
        switch (event.key()) {
        case Qt::Key_Backspace:
            characters.append(8);
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            characters.append(9);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            characters.append(13);
            break;
        case Qt::Key_Escape:
            characters.append(27);
            break;
        default:
            break;
        }
        return characters;
    }
    for (const char32_t c : text.toUcs4())
        characters.append(static_cast<unsigned int>(c));
    return characters;
}
