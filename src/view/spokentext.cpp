#include "spokentext.h"

#include "song/musickey.h"
#include "text/cp932.h"

#include <algorithm>
#include <array>

namespace {

struct LengthWords {
    uint8_t code;
    const char* words;
};

// The written values of the length codes; the three lengths no single value holds are said as
// the tied values a score writes for them.
constexpr LengthWords kLengthWords[] = {
    {0xC0, QT_TRANSLATE_NOOP("CSpokenText", "全音符")},
    {0xC1, QT_TRANSLATE_NOOP("CSpokenText", "付点二分音符")},
    {0xC2, QT_TRANSLATE_NOOP("CSpokenText", "二分音符")},
    {0xC3, QT_TRANSLATE_NOOP("CSpokenText", "付点四分音符")},
    {0xC4, QT_TRANSLATE_NOOP("CSpokenText", "四分音符")},
    {0xC5, QT_TRANSLATE_NOOP("CSpokenText", "付点八分音符")},
    {0xC6, QT_TRANSLATE_NOOP("CSpokenText", "八分音符")},
    {0xC7, QT_TRANSLATE_NOOP("CSpokenText", "八分音符の３連符")},
    {0xC8, QT_TRANSLATE_NOOP("CSpokenText", "16分音符の６連符")},
    {0xC9, QT_TRANSLATE_NOOP("CSpokenText", "16分音符")},
    {0xCA, QT_TRANSLATE_NOOP("CSpokenText", "16分音符の５連符")},
    {0xCB, QT_TRANSLATE_NOOP("CSpokenText", "32分音符")},
    {0xCC, QT_TRANSLATE_NOOP("CSpokenText", "64分音符")},
    {0xCD, QT_TRANSLATE_NOOP("CSpokenText", "128分音符")},
    {0xCE, QT_TRANSLATE_NOOP("CSpokenText", "二分音符と八分音符のタイ")},
    {0xCF, QT_TRANSLATE_NOOP("CSpokenText", "全音符と四分音符の３連符と16分音符のタイ")},
    {0xD0, QT_TRANSLATE_NOOP("CSpokenText", "四分音符と16分音符のタイ")},
    {0xD1, QT_TRANSLATE_NOOP("CSpokenText", "複付点二分音符")},
};

const char* const kColumnNames[CSpokenText::kColumnCount] = {
    QT_TRANSLATE_NOOP("CSpokenText", "番号"),       QT_TRANSLATE_NOOP("CSpokenText", "長さコード"),
    QT_TRANSLATE_NOOP("CSpokenText", "音高コード"), QT_TRANSLATE_NOOP("CSpokenText", "位置"),
    QT_TRANSLATE_NOOP("CSpokenText", "音符"),       QT_TRANSLATE_NOOP("CSpokenText", "音長"),
};

QString Hex(uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

CSpokenText::Column CSpokenText::ColumnOfInput(int inputColumn) {
    switch (inputColumn) {
    case 0:
        return Code;
    case 1:
        return Pitch;
    default:
        return Note;
    }
}

QString CSpokenText::ColumnName(Column column) {
    return tr(kColumnNames[std::clamp(int(column), 0, kColumnCount - 1)]);
}

QString CSpokenText::LengthName(uint8_t code) {
    for (const LengthWords& entry : kLengthWords) {
        if (entry.code == code)
            return tr(entry.words);
    }
    return tr("長さのないコード %1").arg(Hex(code));
}

QString CSpokenText::PitchName(uint8_t pitch, const std::optional<SongKey>& key) {
    if (pitch == kPitchRest)
        return tr("休符");
    if (pitch == kPitchTie)
        return tr("タイ");
    const std::array<char, 3> name = GetNoteName(pitch, key);
    const QString letter = QString(QLatin1Char(name[0]));
    const QString octave = QString(QLatin1Char(name[2]));
    if (name[1] == '#')
        return tr("%1シャープ%2").arg(letter, octave);
    if (name[1] == 'b')
        return tr("%1フラット%2").arg(letter, octave);
    return letter + octave;
}

QString CSpokenText::PositionName(uint32_t tick, const Meter& meter) {
    const BarBeatTick position = SplitBarBeat(tick, meter);
    if (position.tick == 0)
        return tr("%1 小節 %2 拍").arg(position.bar).arg(position.beat + 1);
    return tr("%1 小節 %2 拍 %3 ティック")
        .arg(position.bar)
        .arg(position.beat + 1)
        .arg(position.tick);
}

QString CSpokenText::Cell(const Song& song, int row, Column column, const TimeSignature& signature,
                          bool selected) {
    if (row < 0 || row > song.count)
        return QString();
    const uint32_t tick = song.events[size_t(row)].startTick;
    const Meter meter = SongMeter(song, signature);
    if (row == song.count) {
        // The end row holds no event: the cursor arrives there in the code column.
        switch (column) {
        case Number:
            return tr("終端");
        case Code:
            return tr("ここに新しい音符が入ります");
        case Position:
            return PositionName(tick, meter);
        default:
            return QString();
        }
    }
    const SongEvent& event = song.events[size_t(row)];
    switch (column) {
    case Number:
        return selected ? tr("%1 行目、選択中").arg(row) : tr("%1 行目").arg(row);
    case Code:
        return tr("長さ %1").arg(Hex(event.code));
    case Pitch:
        return tr("音高 %1").arg(Hex(event.pitch));
    case Position:
        return PositionName(tick, meter);
    case Note:
        if (event.pitch == kPitchRest)
            return tr("休符、%1").arg(LengthName(event.code));
        if (event.pitch == kPitchTie)
            return tr("タイ、%1").arg(LengthName(event.code));
        return tr("%1、%2").arg(PitchName(event.pitch, song.music.key), LengthName(event.code));
    case Length: {
        const BeatSplit split = SplitBeats(GetDurationTicks(event.code), meter.signature);
        if (split.beats > 0 && split.ticks > 0)
            return tr("%n 拍", nullptr, split.beats) + QLatin1Char(' ') +
                   tr("%n ティック", nullptr, split.ticks);
        if (split.beats > 0)
            return tr("%n 拍", nullptr, split.beats);
        return tr("%n ティック", nullptr, split.ticks);
    }
    default:
        return QString();
    }
}

QString CSpokenText::TempoText(uint8_t tempoByte) {
    if (tempoByte < 0x60)
        return tr("テンポ なし");
    return tr("テンポ %1").arg(TempoFromByte(tempoByte));
}

QString CSpokenText::TitleText(const std::string& cp932Title) {
    const QString title = DecodeCp932(cp932Title);
    return title.isEmpty() ? tr("タイトル なし") : tr("タイトル %1").arg(title);
}

QString CSpokenText::StaffText(const Song& song, uint32_t origin, const TimeSignature& signature) {
    const Meter meter = SongMeter(song, signature);
    // The pickup is a short bar of its own.
    const uint32_t end = meter.pickup > 0 && origin < uint32_t(meter.pickup)
                             ? uint32_t(meter.pickup)
                             : origin + uint32_t(std::max(1, GetTicksPerBar(meter.signature)));
    QStringList notes;
    for (int i = 0; i < song.count; ++i) {
        const SongEvent& event = song.events[size_t(i)];
        if (event.startTick < origin)
            continue;
        if (event.startTick >= end)
            break;
        const BarBeatTick position = SplitBarBeat(event.startTick, meter);
        const QString beat =
            position.tick == 0
                ? tr("%1 拍目").arg(position.beat + 1)
                : tr("%1 拍目 %2 ティック").arg(position.beat + 1).arg(position.tick);
        notes << tr("%1 %2").arg(beat, Cell(song, i, Note, signature, false));
    }
    const int bar = SplitBarBeat(origin, meter).bar;
    if (notes.isEmpty())
        return tr("譜表 %1 小節: 音符なし").arg(bar);
    return tr("譜表 %1 小節: %2").arg(bar).arg(notes.join(tr("、")));
}
