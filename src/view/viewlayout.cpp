#include "viewlayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

HeaderHit HitTestHeader(const ViewMetrics& metrics, int x, int y) {
    if (metrics.TempoLabelRect().PtInRect(x, y))
        return HeaderHit::Tempo;
    if (metrics.TitleLabelRect().PtInRect(x, y))
        return HeaderHit::Title;
    return HeaderHit::None;
}

std::string FormatTempoText(uint8_t tempoByte) {
    if (tempoByte < 0x60)
        return "  -";
    char text[16];
    std::snprintf(text, sizeof text, "%3d", TempoFromByte(tempoByte));
    return text;
}

std::string FormatEventRow(int index, const SongEvent* event, uint32_t tick,
                           const TimeSignature& signature, RowRepeat& repeat) {
    const BarBeatTick pos = SplitBarBeat(tick, signature);
    char text[64];
    if (event)
        std::snprintf(text, sizeof text, "%03d %02X %02X : %3d/%d/%3d           ", index % 1000,
                      event->code, event->pitch, pos.bar % 1000, (pos.beat + 1) % 10,
                      pos.tick % 1000);
    else
        std::snprintf(text, sizeof text, "%03d       : %3d/%d/%3d           ", index % 1000,
                      pos.bar % 1000, (pos.beat + 1) % 10, pos.tick % 1000);
    std::string row(text);
    row.resize(32, ' ');

    if (pos.bar == repeat.bar) {
        std::fill(row.begin() + 12, row.begin() + 16, ' ');
        if (pos.beat == repeat.beat)
            std::fill(row.begin() + 16, row.begin() + 18, ' ');
    }
    repeat.bar = pos.bar;
    repeat.beat = pos.beat;
    if (!event) {
        row.resize(21); // the end row ends after its tick
        return row;
    }

    if (event->pitch == kPitchRest) {
        row.replace(22, 3, std::string(kRestMark) + " ");
    } else if (event->pitch == kPitchTie) {
        row.replace(7, 2, "  ");
        row.replace(22, 3, std::string(kTieMark) + " ");
    } else {
        const std::array<char, 3> name = GetNoteName(event->pitch);
        row.replace(22, 3, std::string(name.data(), 3));
    }

    const int length = GetDurationTicks(event->code);
    const BeatSplit split = SplitBeats(length, signature);
    char lengthText[16] = "";
    if (split.beats >= 1)
        std::snprintf(lengthText, sizeof lengthText, "%1d/%3d", split.beats, split.ticks);
    else if (split.ticks >= 1)
        std::snprintf(lengthText, sizeof lengthText, "  %3d", split.ticks);
    row.resize(26);
    row += lengthText;
    while (!row.empty() && row.back() == ' ')
        row.pop_back();
    return row;
}

std::string ColumnHeaderText() {
    return std::string("No. bin.    TimeStamp ") + kNoteMark + "   Len.";
}

int ComputePageSize(const ViewMetrics& metrics, int clientHeight) {
    return std::max(1, (clientHeight - metrics.GetRowTop(0)) / metrics.RowPitch());
}

int ClampScrollPosition(int position, const ScrollState& state) {
    if (position + state.page > state.maximum + 1)
        position = state.maximum - state.page + 1;
    if (position < state.minimum)
        position = state.minimum;
    return position;
}

std::optional<int> ScrollPositionFor(int code, int trackPosition, const ScrollState& state) {
    int position = 0;
    switch (code) {
    case kScrollLineUp:
        position = state.position - 1;
        break;
    case kScrollLineDown:
        position = state.position + 1;
        break;
    case kScrollPageUp:
        position = state.position - state.page;
        break;
    case kScrollPageDown:
        position = state.position + state.page;
        break;
    case kScrollThumbPosition:
    case kScrollThumbTrack:
        position = trackPosition;
        break;
    case kScrollTop:
        position = state.minimum;
        break;
    case kScrollBottom:
        position = state.maximum;
        break;
    default:
        return std::nullopt;
    }
    return ClampScrollPosition(position, state);
}

int RowKeptVisible(int row, const ScrollState& state) {
    row = std::clamp(row, state.minimum, state.maximum);
    if (row >= state.position + state.page)
        row = state.position + state.page - 1;
    if (row < state.position)
        row = state.position;
    return row;
}

int PositionShowingRow(int row, const ScrollState& state) {
    if (row >= state.position + state.page)
        return row - state.page + 1;
    if (row < state.position)
        return row;
    return state.position;
}

int KeyGuideLineCount(int height, int lineHeight) {
    int lines = 1;
    while (lines < 6 && 2 + lines * lineHeight < height)
        ++lines;
    return lines;
}

uint32_t StaffOriginTick(const Song& song, int cursorRow, int ticksPerBar) {
    const int row = std::clamp(cursorRow, 0, song.count);
    const uint32_t perBar = uint32_t(std::max(1, ticksPerBar));
    return song.events[row].startTick / perBar * perBar;
}

std::vector<StaffNote> CollectStaffNotes(const Song& song, uint32_t origin, int maxX) {
    std::vector<StaffNote> notes;
    int i = 0;
    while (i < song.count) {
        const SongEvent& first = song.events[i];
        if (first.startTick < origin) {
            ++i;
            continue;
        }
        const int x = TicksToPixels(first.startTick - origin);
        if (x > maxX)
            break;
        const int length = GatherTiedUnit(song, i);
        if (i >= song.count)
            break;
        const uint8_t pitch = song.events[i].pitch;
        if (pitch != kPitchRest)
            notes.push_back({pitch + 9, x, TicksToPixels(uint32_t(length))});
        ++i;
    }
    return notes;
}

const std::array<uint8_t, 12> kLetterTable = {0x08, 0x18, 0x09, 0x19, 0x0A, 0x0B,
                                              0x1B, 0x0C, 0x1C, 0x0D, 0x1D, 0x0E};

int NoteOffset(int key) {
    const int letter = kLetterTable[size_t(key % 12)] & 0x0F;
    return -(7 * (key / 12 - 5) + (letter - 8)) * 4;
}

std::vector<int> LedgerOffsets(int offset) {
    std::vector<int> lines;
    for (int y = 48; y <= offset; y += 8)
        lines.push_back(y);
    for (int y = -48; y >= offset; y -= 8)
        lines.push_back(y);
    if (offset == 0)
        lines.push_back(0);
    return lines;
}

std::optional<StaffGlyph> AccidentalMemory::Check(int key) {
    const uint8_t entry = kLetterTable[size_t(key % 12)];
    const int letter = entry & 0x0F;
    const uint8_t accidental = entry >> 4;
    uint8_t& memory = m_accidentals[size_t((letter - 1) % 7)];
    if (memory == accidental)
        return std::nullopt;
    memory = accidental;
    return accidental != 0 ? StaffGlyph(accidental - 1) : kGlyphNatural;
}
