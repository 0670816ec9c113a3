// What a MIDI import holds: every allocation of this program is counted, and reading a big
// file may take no more than a few times its size beside the file itself.
#include "formats/midiimport.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_held{0};
std::atomic<int64_t> g_peak{0};

void Count(void* block, int sign) {
    if (!block || !g_counting.load(std::memory_order_relaxed))
        return;
    const int64_t held = g_held += sign * int64_t(malloc_usable_size(block));
    int64_t peak = g_peak.load();
    while (held > peak && !g_peak.compare_exchange_weak(peak, held))
        ;
}

// The most `read` holds at once, over what was held before it.
template <typename Read> int64_t PeakOf(Read read) {
    g_held = 0;
    g_peak = 0;
    g_counting = true;
    read();
    g_counting = false;
    return g_peak;
}

using Bytes = std::vector<uint8_t>;

// A format 0 file of about `size` bytes, running status throughout: `chords` notes struck at
// once and never released (three bytes a note, the fewest a note can take), else a tune of
// one note at a time (six bytes a note).
Bytes BigFile(size_t size, bool chords) {
    Bytes track{0x00, 0x90, 60, 100};
    for (int i = 0; track.size() < size; ++i) {
        const auto key = uint8_t(48 + i % 36);
        if (chords)
            track.insert(track.end(), {0x00, key, 100});
        else
            track.insert(track.end(), {0x60, key, 100, 0x60, key, 0});
    }
    track.insert(track.end(), {0x60, 0xFF, 0x2F, 0x00});
    Bytes file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(uint8_t(track.size() >> shift));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

} // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(std::max<std::size_t>(size, 1));
    if (!block)
        throw std::bad_alloc();
    Count(block, 1);
    return block;
}

void operator delete(void* block) noexcept {
    Count(block, -1);
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

TEST(MidiImportMemory, ABigFileIsReadInAFewTimesItsSize) {
    for (const bool chords : {false, true}) {
        const Bytes file = BigFile(size_t(8) << 20, chords);
        const auto size = int64_t(file.size());
        std::vector<MelodyCandidate> candidates;
        const int64_t listing = PeakOf(
            [&] { EXPECT_EQ(ReadMelodyCandidates(file, candidates).error, MidiReadError::None); });
        MidiImport import;
        const int64_t reading =
            PeakOf([&] { EXPECT_EQ(DecodeMidiFile(file, import).error, MidiReadError::None); });
        EXPECT_EQ(candidates.size(), 1u);
        EXPECT_GT(import.song.count, 0);
        // Each note's end is kept for the melody's score: eight bytes, under three times the
        // three a note takes at the least.
        EXPECT_LT(listing, 3 * size) << (chords ? "chords" : "tune");
        EXPECT_LT(reading, 3 * size) << (chords ? "chords" : "tune");
    }
}
