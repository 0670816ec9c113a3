#include "stepeditor.h"

#include "editorcodes.h"

#include "settings/envsettings.h"
#include "song/musictime.h"
#include "song/song.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace editorcodes;

namespace {

// Each note letter followed by the character whose distance from '0' is its semitone.
constexpr char kNoteLetters[] = "C0D2E4F5G7A9B;";
// One octave of a piano keyboard on the letter rows, from C upwards.
constexpr char kPianoKeys[] = "ZSXDCVGBHNJM";

// Duration codes of F1..F12 alone (0..11) and with SHIFT or CTRL (12..23); 0 sets nothing.
constexpr uint8_t kFunctionKeyCodes[24] = {
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC9, 0xC7, 0xC8, 0, 0,
    0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0,    0,    0, 0,
};
constexpr int kMiddleC = 51;
constexpr int kNewEvent = -1; // InsertEvent index that appends a blank event

// Rests, ties and out-of-range pitches count as middle C when a note is built from them.
int PitchForEntry(uint8_t pitch) {
    return pitch == kPitchRest || pitch == kPitchTie || pitch >= 96 ? kMiddleC : pitch;
}

// Truncating division keeps the recorded pitches 1 and 2 in octave 0 with negative semitones.
int OctaveOf(int pitch) {
    return (pitch - 3) / 12;
}
int SemitoneOf(int pitch) {
    return (pitch - 3) % 12;
}

bool IsBlankChar(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

int ParseHexInput(const char* text, int length, int& value) {
    int result = 0;
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (IsBlankChar(c))
            continue;
        else
            return 0;
        // Every caller clamps to a byte, so a long text saturates instead of overflowing.
        result = std::min(result * 16 + digit, 0xFFFFFF);
    }
    value = result;
    return 1;
}

int IsBlankInput(const char* text, int length) {
    if (length <= 0)
        return 0;
    return std::all_of(text, text + length, IsBlankChar) ? 1 : 0;
}

} // namespace

CStepEditor::CStepEditor(IStepEditorHost& host) : m_host(host) {}

int CStepEditor::LengthKeyNumber(int virtualKey) const {
    if (virtualKey < vk::F1 || virtualKey > vk::F24)
        return -1;
    return virtualKey - vk::F1 + (m_host.IsKeyHeld(vk::Shift) ? 24 : 0) +
           (m_host.IsKeyHeld(vk::Control) ? 48 : 0);
}

uint8_t CStepEditor::LengthKeyCode(int keyNumber) {
    if (keyNumber < 0)
        return 0;
    return kFunctionKeyCodes[keyNumber % 12 + (keyNumber > 12 ? 12 : 0)];
}

bool CStepEditor::IsTieKey(int keyNumber) {
    return keyNumber == kTieKey;
}

bool CStepEditor::IsRestKey(int keyNumber) {
    return keyNumber == kRestKey;
}

EditFunction CStepEditor::BoundFunction(int virtualKey) const {
    const bool shift = m_host.IsKeyHeld(vk::Shift);
    const bool ctrl = m_host.IsKeyHeld(vk::Control);
    const BindingTable* table =
        m_host.EditorSettings().GetBindingTable((shift ? kModShift : 0) | (ctrl ? kModCtrl : 0));
    if (table == nullptr)
        return EditFunction::None;
    for (int i = 0; i < kBindableKeyCount && BindableKeyTable[i].name != nullptr; ++i) {
        if (BindableKeyTable[i].virtualKey == virtualKey)
            return ToEditFunction((*table)[size_t(i)]);
    }
    return EditFunction::None;
}

int CStepEditor::DispatchEditKey(int virtualKey) {
    if (m_host.IsKeyHeld(vk::Menu))
        return 0; // ALT keys belong to the menus and accelerators
    const int keyNumber = LengthKeyNumber(virtualKey);
    if (keyNumber >= 0) {
        DiscardInput();
        EnterLength(keyNumber);
        m_host.MoveCursorTo(m_nCursorRow + 1);
        return 0; // the function key goes on to default processing as well
    }
    return RunEditFunction(int(BoundFunction(virtualKey)));
}

int CStepEditor::RunEditFunction(int id) {
    switch (ToEditFunction(id)) {
    case EditFunction::FirstRow:
        FinishInput();
        m_host.MoveCursorTo(0);
        return 1;
    case EditFunction::EndRow:
        FinishInput();
        m_host.MoveCursorTo(m_host.EditorSong().count);
        return 1;
    case EditFunction::PageUp:
        FinishInput();
        m_host.MoveCursorTo(m_nCursorRow - m_host.GetPageSize());
        return 1;
    case EditFunction::PageDown:
        FinishInput();
        m_host.MoveCursorTo(m_nCursorRow + m_host.GetPageSize());
        return 1;
    case EditFunction::PreviousBar:
        MoveToPreviousBar();
        return 1;
    case EditFunction::NextBar:
        MoveToNextBar();
        return 1;
    case EditFunction::RowUp:
        FinishInput();
        m_host.MoveCursorTo(m_nCursorRow - 1);
        return 1;
    case EditFunction::RowDown:
        FinishInput();
        m_host.MoveCursorTo(m_nCursorRow + 1);
        return 1;
    case EditFunction::ConfirmInput:
        FinishInput(); // may have put the cursor on a newly added event
        m_host.MoveCursorTo(m_nCursorRow);
        return 1;
    case EditFunction::CancelInput:
        m_nInputLen = 0;
        m_szInput[0] = '\0';
        m_host.InvalidateRow(m_nCursorRow, false);
        return 1;
    case EditFunction::ColumnLeft:
        FinishInput();
        return CursorLeft();
    case EditFunction::ColumnRight:
        FinishInput();
        return CursorRight();
    case EditFunction::InsertEvent:
        DiscardInput();
        return InsertEvent(m_nCursorRow);
    case EditFunction::DeleteEvent:
        DiscardInput();
        return DeleteEvent(m_nCursorRow);
    case EditFunction::PlusOne:
        DiscardInput();
        SetCell(false, +1, -1, true);
        return 1;
    case EditFunction::MinusOne:
        DiscardInput();
        SetCell(false, -1, -1, true);
        return 1;
    default:
        return 0;
    }
}

int CStepEditor::OnChar(unsigned int character) {
    if (character == 8 && m_nInputLen > 0) {
        m_szInput[--m_nInputLen] = '\0';
        m_host.InvalidateRow(m_nCursorRow, false);
        return 1;
    }
    if (m_nCursorColumn == 2 && m_host.EditorSettings().IsPianoInput() &&
        EnterPianoKey(character)) {
        m_host.MoveCursorTo(m_nCursorRow + 1);
        return 1;
    }
    // Only single bytes below 0x80 can be accepted; the code 0 would match the terminator.
    const int room = std::min(CursorCell().width, int(sizeof(m_szInput)) - 1);
    if (character != 0 && character < 0x80 &&
        std::strchr(CursorCell().chars, int(character)) != nullptr && m_nInputLen < room) {
        m_szInput[m_nInputLen++] = char(character);
        m_szInput[m_nInputLen] = '\0';
        m_host.InvalidateRow(m_nCursorRow, false);
        return 1;
    }
    return 0;
}

int CStepEditor::CursorLeft() {
    if (m_nCursorRow <= 0 && m_nCursorColumn <= 0)
        return 1;
    if (m_nCursorColumn <= 0) {
        SetColumn(2);
        m_host.MoveCursorTo(m_nCursorRow - 1);
    } else {
        SetColumn(m_nCursorColumn - 1);
        m_host.InvalidateRow(m_nCursorRow, false);
    }
    return 1;
}

int CStepEditor::CursorRight() {
    if (OnEndRow())
        return 1;
    if (m_nCursorColumn >= 2) {
        SetColumn(0);
        m_host.MoveCursorTo(m_nCursorRow + 1);
    } else {
        SetColumn(m_nCursorColumn + 1);
        m_host.InvalidateRow(m_nCursorRow, false);
    }
    return 1;
}

void CStepEditor::SetColumn(int column) {
    if (column >= 0 && column <= 2) // there are only three input columns
        m_nCursorColumn = column;
}

int CStepEditor::SetCellValue(bool absolute, int value, int column) {
    return SetCell(absolute, value, column, false);
}

int CStepEditor::SetCell(bool absolute, int value, int column, bool entered) {
    Song& song = m_host.EditorSong();
    const int row = m_nCursorRow;
    if (row < 0 || row >= song.count)
        return 0; // the end row holds no event
    if (column < 0)
        column = m_nCursorColumn;
    SongEvent& event = song.events[size_t(row)];
    uint8_t* target = nullptr;
    int v = 0;
    if (column == 0) {
        target = &event.code;
        v = std::clamp(absolute ? value : event.code + value, kMinCode, kMaxCode);
    } else if (column == 1 || column == 2) {
        target = &event.pitch;
        v = absolute ? value : event.pitch + value;
        if (v != kPitchRest && v != kPitchTie)
            v = std::clamp(v, kMinPitch, kMaxPitch);
    } else {
        return 0;
    }
    const uint8_t byte = uint8_t(v & 0xFF);
    const SongEvent before = event;
    *target = byte;
    if (entered && target == &event.pitch)
        m_host.OnNoteEntered(row); // before the change is recorded: the note sounds at once
    if (before.pitch != event.pitch || before.code != event.code)
        m_host.OnEventEdited({EventEdit::Change, row, before, event});
    m_host.RedrawAll();
    return 1;
}

int CStepEditor::InsertEvent(int index) {
    Song& song = m_host.EditorSong();
    if (song.count >= kMaxEvents) {
        m_host.OnEventLimitReached();
        return 0;
    }
    SongEvent* events = song.events.data();
    if (index < 0 || index >= song.count) {
        index = song.count;
        events[song.count].code = kMinCode;
        events[song.count].pitch = kPitchTie;
    } else {
        // The event at index stays in place, so the new one is a copy of it.
        std::copy_backward(events + index, events + song.count, events + song.count + 1);
    }
    ++song.count;
    m_host.OnEventEdited({EventEdit::Insert, index, {}, events[index]});
    m_host.OnRowCountChanged();
    m_host.RedrawAll();
    return 1;
}

int CStepEditor::DeleteEvent(int index) {
    Song& song = m_host.EditorSong();
    if (index < 0 || index >= song.count)
        return 0;
    SongEvent* events = song.events.data();
    const SongEvent removed = events[index];
    std::copy(events + index + 1, events + song.count, events + index);
    --song.count;
    m_host.OnEventEdited({EventEdit::Remove, index, removed, {}});
    m_host.OnRowCountChanged();
    m_host.RedrawAll();
    return 1;
}

void CStepEditor::FinishInput() {
    if (m_nInputLen > 0)
        CommitInput();
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    m_host.InvalidateRow(m_nCursorRow, true);
}

void CStepEditor::CommitInput() {
    Song& song = m_host.EditorSong();
    if (m_nCursorRow < 0)
        return;
    if (m_nCursorRow >= song.count) {
        // Only a code typed on the end row makes a new event; a pitch there has no event.
        if (m_nCursorColumn != 0 || !InsertEvent(kNewEvent))
            return;
        m_nCursorRow = song.count - 1;
    }
    if (m_nInputLen <= 0)
        return;

    int value = 0;
    switch (m_nCursorColumn) {
    case 0:
        if (!ParseHexInput(m_szInput, m_nInputLen, value))
            return;
        SetCellValue(true, std::clamp(value, kMinCode, kMaxCode), m_nCursorColumn);
        break;
    case 1:
        if (IsBlankInput(m_szInput, m_nInputLen)) {
            SetCellValue(true, kPitchTie, m_nCursorColumn);
            break;
        }
        if (!ParseHexInput(m_szInput, m_nInputLen, value))
            return;
        // Typed FF is the highest note, not a tie: a tie is typed as blanks.
        if (value > 0)
            value = std::clamp(value, kMinPitch, kMaxPitch);
        SetCell(true, value, m_nCursorColumn, true);
        break;
    case 2:
        if (IsBlankInput(m_szInput, m_nInputLen))
            SetCellValue(true, kPitchTie, m_nCursorColumn);
        else
            ApplyNoteName();
        break;
    default:
        break;
    }
}

void CStepEditor::ApplyNoteName() {
    Song& song = m_host.EditorSong();
    if (m_nCursorRow < 0 || m_nCursorRow >= song.count)
        return;
    const int pitch = PitchForEntry(song.events[size_t(m_nCursorRow)].pitch);
    int octave = OctaveOf(pitch);
    int semitone = SemitoneOf(pitch);

    int digit = -1;
    int letter = -1;
    bool sharp = false;
    for (int i = 0; i < m_nInputLen; ++i) {
        const int c = std::toupper(static_cast<unsigned char>(m_szInput[i]));
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'Z') {
            const char* found = std::strchr(kNoteLetters, c);
            if (found != nullptr && (found - kNoteLetters) % 2 == 0)
                letter = found[1] - '0';
        } else if (c == '#') {
            sharp = true;
        }
    }
    if (digit >= 0)
        octave = digit;
    if (letter >= 0)
        semitone = letter + (sharp ? 1 : 0);
    SetCell(true, 12 * octave + semitone + 3, m_nCursorColumn, true);
}

int CStepEditor::EnterPianoKey(unsigned int character) {
    if (character == 0 || character >= 0x80)
        return 0;
    const int c = std::toupper(int(character));
    const char* found = std::strchr(kPianoKeys, c);
    if (found == nullptr)
        return 0;
    FinishInput();
    SetPitchPart(Semitone, int(found - kPianoKeys));
    m_host.InvalidateRow(m_nCursorRow, true);
    return 1;
}

void CStepEditor::SetPitchPart(PitchPart part, int value) {
    Song& song = m_host.EditorSong();
    if (m_nCursorRow < 0)
        return;
    if (m_nCursorRow >= song.count) {
        // On the end row a copy of the last event (or a blank one) takes the pitch.
        if (!InsertEvent(std::min(m_nCursorRow, song.count) - 1))
            return;
        m_nCursorRow = song.count - 1;
    }
    SongEvent& event = song.events[size_t(m_nCursorRow)];
    uint8_t pitch = 0;
    if (part == Whole) {
        pitch = uint8_t(value);
    } else {
        const int octave = OctaveOf(PitchForEntry(event.pitch));
        pitch = uint8_t(std::clamp(12 * octave + value + 3, kMinPitch, kMaxPitch));
    }
    const SongEvent before = event;
    event.pitch = pitch;
    // A recorded note (Whole) is heard through the keyboard's echo; a piano key is announced.
    if (part == Semitone)
        m_host.OnNoteEntered(m_nCursorRow);
    if (before.pitch != pitch)
        m_host.OnEventEdited({EventEdit::Change, m_nCursorRow, before, event});
}

void CStepEditor::EnterLength(int keyNumber) {
    if (keyNumber == kTieKey || keyNumber == kRestKey) {
        SetCellValue(true, keyNumber == kTieKey ? kPitchTie : kPitchRest, 1);
        m_host.InvalidateRow(m_nCursorRow, true);
        return;
    }
    const uint8_t code = LengthKeyCode(keyNumber);
    if (code == 0)
        return;
    if (OnEndRow())
        InsertEvent(kNewEvent);
    SetCellValue(true, code, 0);
    m_host.InvalidateRow(m_nCursorRow, true);
}

void CStepEditor::EnterRecordedPitch(int pitch) {
    if (pitch < 1 || pitch > kMaxPitch)
        return; // not a note: a stray value must not become a rest or a tie
    FinishInput();
    SetPitchPart(Whole, pitch);
    m_host.InvalidateRow(m_nCursorRow, true);
    m_host.MoveCursorTo(m_nCursorRow + 1);
}

void CStepEditor::DiscardInput() {
    const bool shown = m_nInputLen > 0;
    m_nInputLen = 0;
    m_szInput[0] = '\0';
    if (shown)
        m_host.InvalidateRow(m_nCursorRow, false); // so the dropped text does not stay on screen
}

bool CStepEditor::OnEndRow() {
    return m_nCursorRow >= m_host.EditorSong().count;
}
