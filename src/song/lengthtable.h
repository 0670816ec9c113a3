// The fewest parts that add up to a length: the song's length codes, which every import and the
// scores use to write a length as events, and over other parts a score's written values.
#pragma once

#include <cstdint>
#include <vector>

/// For each length from 0 to `top` ticks, the fewest parts of the given lengths that add up to
/// it. Among equally short sums the parts earlier in the list win.
class CLengthTable {
public:
    static constexpr int kNone = 0xFF;

    CLengthTable(std::vector<int> partTicks, int top);

    int Top() const { return m_nTop; }
    /// How many parts make `ticks`; kNone when no sum gives it or it lies beyond the top.
    int Parts(int ticks) const;
    /// Appends the indices of the parts that make `ticks`, which must have parts.
    void Append(int ticks, std::vector<int>& parts) const;
    /// Within `tolerance` of `ticks`, the length of the fewest parts (of those, the nearest);
    /// else the length with parts nearest to `ticks`; 0 for none.
    int Fewest(int ticks, int tolerance) const;
    /// The length with parts nearest to `ticks` (of two, the one of fewer parts); 0 for none.
    int Nearest(int ticks) const;

private:
    std::vector<int> m_partTicks;
    int m_nTop;
    std::vector<uint8_t> m_parts; // by length: how many parts, or kNone
    std::vector<uint8_t> m_last;  // by length: the index of its last part
};

/// The table of the song's length codes, up to sixteen of the longest sums.
const CLengthTable& LengthCodeTable();

/// The length codes, longest first, whose lengths add up to exactly `ticks`, as few as there
/// can be; empty when no sum of lengths gives `ticks` (or for 0).
std::vector<uint8_t> SplitIntoCodes(int ticks);
