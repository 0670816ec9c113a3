// The key vocabulary: the edit functions, the keys they can be bound to, the four binding
// tables chosen by SHIFT and CTRL, their names, the default bindings and the opposite of each
// function. The settings record stores function ids by these numbers, the step editor
// dispatches through them and the key definition page lists them.
#pragma once

#include <cstdint>

// Virtual-key codes the dispatcher works with (the bindable keys and the function keys).
namespace vk {
constexpr int Tab = 0x09;
constexpr int Return = 0x0D;
constexpr int Shift = 0x10;
constexpr int Control = 0x11;
constexpr int Menu = 0x12; // ALT
constexpr int Escape = 0x1B;
constexpr int Prior = 0x21; // Page Up
constexpr int Next = 0x22;  // Page Down
constexpr int End = 0x23;
constexpr int Home = 0x24;
constexpr int Left = 0x25;
constexpr int Up = 0x26;
constexpr int Right = 0x27;
constexpr int Down = 0x28;
constexpr int Insert = 0x2D;
constexpr int Delete = 0x2E;
constexpr int F1 = 0x70;
constexpr int F24 = 0x87;
} // namespace vk

/// The edit functions by the id the settings file stores.
enum class EditFunction : int32_t {
    None = 0,
    FirstRow = 1,
    EndRow = 2,
    PageUp = 3,
    PageDown = 4,
    PreviousBar = 5,
    NextBar = 6,
    RowUp = 7,
    RowDown = 8,
    ConfirmInput = 9,
    CancelInput = 10,
    ColumnLeft = 11,
    ColumnRight = 12,
    InsertEvent = 13,
    DeleteEvent = 14,
    PlusOne = 15,
    MinusOne = 16,
};
constexpr int kEditFunctionCount = 17; // ids 0 (none) to 16

/// A stored function id, or None when the stored value is not a function.
constexpr EditFunction ToEditFunction(int32_t stored) {
    return stored >= 0 && stored < kEditFunctionCount ? EditFunction(stored) : EditFunction::None;
}
/// A stored function id, or 0 when the stored value is not a function.
constexpr int ValidFunctionId(int32_t stored) {
    return int(ToEditFunction(stored));
}

/// The function that undoes the other's move (first row and end row, up and down, plus and
/// minus one, …), or None for the functions without one.
constexpr EditFunction OppositeFunction(EditFunction function) {
    switch (function) {
    case EditFunction::FirstRow:
    case EditFunction::PageUp:
    case EditFunction::PreviousBar:
    case EditFunction::RowUp:
    case EditFunction::ColumnLeft:
    case EditFunction::PlusOne:
        return EditFunction(int(function) + 1);
    case EditFunction::EndRow:
    case EditFunction::PageDown:
    case EditFunction::NextBar:
    case EditFunction::RowDown:
    case EditFunction::ColumnRight:
    case EditFunction::MinusOne:
        return EditFunction(int(function) - 1);
    default:
        return EditFunction::None;
    }
}

/// The thirteen bindable keys, by their slot in a binding table.
enum BindableKeySlot {
    SlotHome,
    SlotEnd,
    SlotPageUp,
    SlotPageDown,
    SlotUp,
    SlotDown,
    SlotLeft,
    SlotRight,
    SlotInsert,
    SlotDelete,
    SlotEnter,
    SlotEscape,
    SlotTab,
    kBindableKeyCount
};

// Modifier flags as the binding tables are selected by them.
constexpr int kModShift = 4;
constexpr int kModCtrl = 8;
/// The modifier mask of each binding table, in the settings record's order.
constexpr int kBindingTableModifiers[4] = {0, kModShift, kModCtrl, kModShift | kModCtrl};

struct BindableKeyEntry {
    int virtualKey;
    const char* name; // UTF-8; nullptr ends the table
};

/// The bindable keys in binding-table order, ending with {0, nullptr}.
inline constexpr BindableKeyEntry BindableKeyTable[] = {
    {vk::Home, "Home"},  {vk::End, "End"},    {vk::Prior, "PageUp"}, {vk::Next, "PageDown"},
    {vk::Up, "↑"},       {vk::Down, "↓"},     {vk::Left, "←"},       {vk::Right, "→"},
    {vk::Insert, "INS"}, {vk::Delete, "DEL"}, {vk::Return, "Enter"}, {vk::Escape, "Esc"},
    {vk::Tab, "TAB"},    {0, nullptr},
};
static_assert(sizeof(BindableKeyTable) / sizeof(BindableKeyTable[0]) == kBindableKeyCount + 1);

struct DefaultBinding {
    int modifiers;
    BindableKeySlot slot;
    EditFunction function;
};
/// The bindings of a fresh settings record; every other slot is None.
inline constexpr DefaultBinding kDefaultBindings[] = {
    {0, SlotPageUp, EditFunction::PlusOne},
    {0, SlotPageDown, EditFunction::MinusOne},
    {0, SlotUp, EditFunction::RowUp},
    {0, SlotDown, EditFunction::RowDown},
    {0, SlotLeft, EditFunction::ColumnLeft},
    {0, SlotRight, EditFunction::ColumnRight},
    {0, SlotInsert, EditFunction::InsertEvent},
    {0, SlotDelete, EditFunction::DeleteEvent},
    {0, SlotEnter, EditFunction::ConfirmInput},
    {0, SlotEscape, EditFunction::CancelInput},
    {kModShift, SlotUp, EditFunction::PageUp},
    {kModShift, SlotDown, EditFunction::PageDown},
    {kModShift, SlotLeft, EditFunction::PreviousBar},
    {kModShift, SlotRight, EditFunction::NextBar},
    {kModCtrl, SlotUp, EditFunction::FirstRow},
    {kModCtrl, SlotDown, EditFunction::EndRow},
};
