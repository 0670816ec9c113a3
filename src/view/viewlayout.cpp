#include "viewlayout.h"

#include "song/musickey.h"

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
    return FormatEventRow(index, event, tick, Meter{signature, 0}, std::nullopt, repeat);
}

std::string FormatEventRow(int index, const SongEvent* event, uint32_t tick, const Meter& meter,
                           const std::optional<SongKey>& key, RowRepeat& repeat) {
    const BarBeatTick pos = SplitBarBeat(tick, meter);
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
        const std::array<char, 3> name = GetNoteName(event->pitch, key);
        row.replace(22, 3, std::string(name.data(), 3));
    }

    const int length = GetDurationTicks(event->code);
    const BeatSplit split = SplitBeats(length, meter.signature);
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
