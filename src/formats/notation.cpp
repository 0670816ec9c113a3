#include "notation.h"

#include "song/lengthtable.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace {

struct Candidate {
    NoteValue value;
    int ticks;
};

// The written values a length is made of, in the order they are preferred.
std::vector<Candidate> BuildCandidates() {
    std::vector<Candidate> out;
    for (int dots = 0; dots <= 2; ++dots) {
        for (int type = 0; type < kNoteTypeCount; ++type) {
            const NoteValue value{NoteType(type), dots};
            if (const int ticks = ValueTicks(value); ticks > 0)
                out.push_back({value, ticks});
        }
    }
    for (const auto& [actual, normal] : {std::pair{3, 2}, std::pair{5, 4}}) {
        for (int type = 0; type < kNoteTypeCount; ++type) {
            const NoteValue value{NoteType(type), 0, actual, normal};
            if (const int ticks = ValueTicks(value); ticks > 0)
                out.push_back({value, ticks});
        }
    }
    return out;
}

// Fewest written values for every length up to kTop ticks.
class ValueTable {
public:
    static constexpr int kTop = 4096;

    static const ValueTable& Instance() {
        static const ValueTable table;
        return table;
    }
    bool Has(int ticks) const { return m_table.Parts(ticks) != CLengthTable::kNone; }
    void Append(int ticks, std::vector<NoteValue>& out) const {
        std::vector<int> parts;
        m_table.Append(ticks, parts);
        for (const int part : parts)
            out.push_back(m_candidates[size_t(part)].value);
    }

private:
    ValueTable() : m_candidates(BuildCandidates()), m_table(CandidateTicks(m_candidates), kTop) {}
    static std::vector<int> CandidateTicks(const std::vector<Candidate>& candidates) {
        std::vector<int> ticks;
        for (const Candidate& candidate : candidates)
            ticks.push_back(candidate.ticks);
        return ticks;
    }
    std::vector<Candidate> m_candidates;
    CLengthTable m_table;
};

// A length no sum of ordinary values gives (a few ticks): the shortest type that covers it
// under the ratio that makes it exact.
NoteValue OddValue(int ticks) {
    NoteType type = NoteType::HundredTwentyEighth;
    while (PlainTicks(type) < ticks && type != NoteType::Whole)
        type = NoteType(int(type) - 1);
    const int plain = PlainTicks(type);
    const int common = std::gcd(plain, ticks);
    return {type, 0, plain / common, ticks / common};
}

constexpr NoteValue kSixteenthTriplet{NoteType::Sixteenth, 0, 3, 2};

// `position`: where the bar starts from the beat grid (a pickup starts inside a bar).
void MarkSextuplets(ScoreMeasure& measure, int position) {
    auto& notes = measure.notes;
    for (size_t i = 0; i < notes.size();) {
        const bool run =
            position % kTicksPerQuarter == 0 && i + 6 <= notes.size() &&
            std::all_of(notes.begin() + long(i), notes.begin() + long(i) + 6,
                        [](const ScoreNote& n) { return n.value == kSixteenthTriplet; });
        if (!run) {
            position += notes[i++].ticks;
            continue;
        }
        for (size_t k = i; k < i + 6; ++k) {
            notes[k].value.actual = 6;
            notes[k].value.normal = 4;
        }
        position += kTicksPerQuarter;
        i += 6;
    }
}

// A bracket over each run of one ratio, closed when it fills the time of `normal` notes of
// its first note's type, at a note of another ratio and at the bar line.
void MarkTupletBrackets(ScoreMeasure& measure) {
    ScoreNote* open = nullptr;
    ScoreNote* previous = nullptr;
    int filled = 0;
    int span = 0;
    for (ScoreNote& note : measure.notes) {
        const NoteValue& value = note.value;
        if (open && (!value.IsTuplet() || value.actual != open->value.actual ||
                     value.normal != open->value.normal)) {
            previous->tupletStop = true;
            open = nullptr;
        }
        if (value.IsTuplet()) {
            if (!open) {
                open = &note;
                note.tupletStart = true;
                filled = 0;
                span = ValueTicks({value.type, 0, value.actual, value.normal}) * value.actual;
            }
            filled += note.ticks;
            if (filled >= span) {
                note.tupletStop = true;
                open = nullptr;
            }
        }
        previous = &note;
    }
    if (open)
        previous->tupletStop = true;
}

uint8_t CodeOfTicks(int ticks) {
    for (int code = 0xC0; code <= 0xD1; ++code) {
        if (GetDurationTicks(uint8_t(code)) == ticks)
            return uint8_t(code);
    }
    return 0;
}

} // namespace

int PlainTicks(NoteType type) {
    return kTicksPerWhole >> int(type);
}

int ValueTicks(const NoteValue& value) {
    const int64_t numerator =
        int64_t(PlainTicks(value.type)) * ((2 << value.dots) - 1) * value.normal;
    const int64_t denominator = int64_t(1 << value.dots) * value.actual;
    if (denominator <= 0 || numerator % denominator != 0)
        return 0;
    return int(numerator / denominator);
}

KeySpelling SpellKey(int key) {
    const uint8_t entry = kLetterTable[size_t(key % 12)];
    return {"CDEFGAB"[(entry & 0x0F) - 8], entry >> 4, key / 12 - 1};
}

std::vector<NoteValue> NoteValuesOfTicks(int ticks) {
    std::vector<NoteValue> out;
    if (ticks <= 0)
        return out;
    const ValueTable& table = ValueTable::Instance();
    while (ticks > ValueTable::kTop) {
        out.push_back({NoteType::Whole});
        ticks -= kTicksPerWhole;
    }
    for (int odd = 0; odd <= ticks; ++odd) {
        if (!table.Has(ticks - odd))
            continue;
        table.Append(ticks - odd, out);
        if (odd > 0)
            out.push_back(OddValue(odd));
        break;
    }
    std::stable_sort(out.begin(), out.end(), [](const NoteValue& a, const NoteValue& b) {
        return ValueTicks(a) > ValueTicks(b);
    });
    return out;
}

WrittenKeys GetWrittenKeys(const Song& song) {
    const int count = song.count;
    WrittenKeys written{std::vector<int>(size_t(count), -1), std::vector<bool>(size_t(count))};
    for (int i = 0; i < count;) {
        int last = i;
        GatherTiedUnit(song, last);
        const uint8_t pitch = last < count ? song.events[size_t(last)].pitch : kPitchRest;
        const int key = pitch == kPitchRest ? -1 : (pitch + kPitchToKey) & 0x7F;
        for (int j = i; j <= std::min(last, count - 1); ++j) {
            written.keys[size_t(j)] = key;
            written.tiedOn[size_t(j)] = key >= 0 && j < last;
        }
        i = last + 1;
    }
    return written;
}

std::vector<ScoreMeasure> LayOutMeasures(const Song& song, const Meter& meter) {
    const int perBar = GetTicksPerBar(meter.signature);
    const int pickup = meter.pickup > 0 && meter.pickup < perBar ? meter.pickup : 0;
    const auto barOf = [&](int position) {
        return position < pickup ? 0 : (position - pickup) / perBar + (pickup > 0 ? 1 : 0);
    };
    const auto barEnd = [&](int bar) { return pickup + (bar + (pickup > 0 ? 0 : 1)) * perBar; };
    const int count = song.count;
    const auto [keys, tiedOn] = GetWrittenKeys(song);
    int total = 0;
    for (int i = 0; i < count; ++i)
        total += GetDurationTicks(song.events[size_t(i)].code);

    const int bars = total > 0 ? barOf(total - 1) + 1 : 1;
    std::vector<ScoreMeasure> measures(static_cast<size_t>(bars));
    for (size_t m = 0; m < measures.size(); ++m)
        measures[m].ticks = m == 0 && pickup > 0 ? pickup : perBar;
    bool tieOpen = false;
    int position = 0;
    const auto put = [&](int length, int key, bool tieAfter) {
        while (length > 0) {
            const int bar = barOf(position);
            const int piece = std::min(length, barEnd(bar) - position);
            const std::vector<NoteValue> values = NoteValuesOfTicks(piece);
            for (size_t v = 0; v < values.size(); ++v) {
                ScoreNote note{values[v], ValueTicks(values[v]), key};
                const bool more = v + 1 < values.size() || piece < length;
                note.tiedFromPrior = key >= 0 && tieOpen;
                note.tiedToNext = key >= 0 && (more || tieAfter);
                tieOpen = note.tiedToNext;
                measures[size_t(bar)].notes.push_back(note);
            }
            position += piece;
            length -= piece;
        }
    };
    for (int i = 0; i < count; ++i)
        put(GetDurationTicks(song.events[size_t(i)].code), keys[size_t(i)], tiedOn[size_t(i)]);
    if (position > 0 && position < barEnd(barOf(position - 1)))
        put(barEnd(barOf(position - 1)) - position, -1, false);

    for (ScoreMeasure& measure : measures) {
        const bool empty = std::all_of(measure.notes.begin(), measure.notes.end(),
                                       [](const ScoreNote& note) { return note.key < 0; });
        if (empty) {
            ScoreNote rest{{NoteType::Whole}, measure.ticks};
            rest.measureRest = true;
            measure.notes.assign(1, rest);
            continue;
        }
        MarkSextuplets(measure, &measure == &measures.front() ? perBar - measure.ticks : 0);
        MarkTupletBrackets(measure);
    }
    return measures;
}

std::vector<SoundingUnit> SoundingUnits(const Song& song) {
    std::vector<SoundingUnit> units;
    uint32_t start = 0;
    for (int i = 0; i < song.count; ++i) {
        const int length = GatherTiedUnit(song, i);
        const uint8_t pitch = i < song.count ? song.events[size_t(i)].pitch : kPitchRest;
        const int key = pitch == kPitchRest ? -1 : (pitch + kPitchToKey) & 0x7F;
        if (length <= 0)
            continue;
        if (key < 0 && !units.empty() && units.back().key < 0)
            units.back().length += uint32_t(length);
        else
            units.push_back({start, uint32_t(length), key});
        start += uint32_t(length);
    }
    return units;
}

bool SoundTheSame(std::vector<SoundingUnit> first, std::vector<SoundingUnit> second) {
    for (std::vector<SoundingUnit>* units : {&first, &second}) {
        if (!units->empty() && units->back().key < 0)
            units->pop_back();
    }
    return first == second;
}

int AppendUnit(Song& song, int length, const std::vector<int>& pieces, int key, bool& truncated) {
    if (length <= 0)
        return 0;
    std::vector<uint8_t> codes;
    if (const uint8_t code = CodeOfTicks(length)) {
        codes.push_back(code);
    } else {
        // The written pieces, unless fewer codes give the length (a note tied over many
        // short bars).
        codes = SplitIntoCodes(length);
        if (std::all_of(pieces.begin(), pieces.end(), [](int t) { return CodeOfTicks(t); }) &&
            !pieces.empty() && (codes.empty() || pieces.size() <= codes.size())) {
            codes.clear();
            std::transform(pieces.begin(), pieces.end(), std::back_inserter(codes), CodeOfTicks);
        }
    }
    if (codes.empty()) {
        // A long rest or note: whole notes first (no more than a song holds), then the fewest
        // codes nearest to what is left.
        const int wholes =
            std::clamp((length - 2 * kTicksPerWhole) / kTicksPerWhole, 0, int(kMaxEvents));
        const int remainder = length - wholes * kTicksPerWhole;
        for (int off = 0; codes.empty() && off <= kTicksPerWhole; ++off) {
            if (remainder - off > 0)
                codes = SplitIntoCodes(remainder - off);
            if (codes.empty())
                codes = SplitIntoCodes(remainder + off);
        }
        codes.insert(codes.begin(), size_t(wholes), uint8_t(0xC0));
    }
    int appended = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        if (song.count >= kMaxEvents) {
            truncated = true;
            break;
        }
        SongEvent& event = song.events[size_t(song.count++)];
        event.code = codes[i];
        event.pitch = key < 0                ? kPitchRest
                      : i + 1 < codes.size() ? kPitchTie
                                             : uint8_t(key - kPitchToKey);
        appended += GetDurationTicks(codes[i]);
    }
    return appended;
}
