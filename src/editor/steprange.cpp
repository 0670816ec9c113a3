// The step editor's keys on a range of selected rows, each one step for undo.
#include "stepeditor.h"

#include "editorcodes.h"
#include "settings/keyvocabulary.h"
#include "song/song.h"

#include <algorithm>

using namespace editorcodes;

CStepEditor::RangeResult CStepEditor::DispatchRangeKey(int virtualKey, int first, int count) {
    Song& song = m_host.EditorSong();
    if (m_host.IsKeyHeld(vk::Menu) || first < 0 || count <= 0 || first + count > song.count)
        return RangeResult::NotARangeKey;
    const int keyNumber = LengthKeyNumber(virtualKey);
    const EditFunction function = keyNumber >= 0 ? EditFunction::None : BoundFunction(virtualKey);
    SongEvent* events = song.events.data();
    if (keyNumber == kTieKey || keyNumber == kRestKey || LengthKeyCode(keyNumber) != 0) {
        DiscardInput();
        for (int row = first; row < first + count; ++row) {
            SongEvent after = events[row];
            if (keyNumber == kTieKey || keyNumber == kRestKey)
                after.pitch = keyNumber == kTieKey ? kPitchTie : kPitchRest;
            else
                after.code = LengthKeyCode(keyNumber);
            ChangeRow(row, after);
        }
        m_host.RedrawAll();
        return RangeResult::Done;
    }
    return RunRangeFunction(function, first, count);
}

CStepEditor::RangeResult CStepEditor::RunRangeFunction(EditFunction function, int first,
                                                       int count) {
    Song& song = m_host.EditorSong();
    if (first < 0 || count <= 0 || first + count > song.count)
        return RangeResult::NotARangeKey;
    SongEvent* events = song.events.data();
    if (function == EditFunction::PlusOne || function == EditFunction::MinusOne) {
        DiscardInput();
        const int delta = function == EditFunction::PlusOne ? 1 : -1;
        for (int row = first; row < first + count; ++row) {
            SongEvent after = events[row];
            if (m_nCursorColumn == 0) {
                after.code = uint8_t(std::clamp(after.code + delta, kMinCode, kMaxCode));
            } else if (after.pitch != kPitchRest && after.pitch != kPitchTie) {
                const int pitch = after.pitch + delta;
                if (pitch >= kMinPitch && pitch <= kMaxPitch)
                    after.pitch = uint8_t(pitch);
            }
            ChangeRow(row, after);
        }
    } else if (function == EditFunction::DeleteEvent) {
        DiscardInput();
        for (int i = 0; i < count; ++i) {
            const SongEvent removed = events[first];
            std::copy(events + first + 1, events + song.count, events + first);
            --song.count;
            m_host.OnEventEdited({EventEdit::Remove, first, removed, {}});
        }
        m_host.OnRowCountChanged();
    } else if (function == EditFunction::InsertEvent) {
        DiscardInput();
        if (count > kMaxEvents - song.count)
            return RangeResult::OverLimit;
        const int end = first + count;
        std::copy_backward(events + end, events + song.count, events + song.count + count);
        std::copy(events + first, events + end, events + end);
        song.count += count;
        for (int row = end; row < end + count; ++row)
            m_host.OnEventEdited({EventEdit::Insert, row, {}, events[row]});
        m_host.OnRowCountChanged();
    } else {
        return RangeResult::NotARangeKey;
    }
    m_host.RedrawAll();
    return RangeResult::Done;
}

void CStepEditor::ChangeRow(int row, SongEvent after) {
    SongEvent& event = m_host.EditorSong().events[size_t(row)];
    if (event.code == after.code && event.pitch == after.pitch)
        return;
    const SongEvent before = event;
    event = after;
    m_host.OnEventEdited({EventEdit::Change, row, before, event});
}
