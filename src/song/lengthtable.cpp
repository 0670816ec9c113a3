#include "lengthtable.h"

#include "musictime.h"

#include <algorithm>
#include <iterator>

namespace {

// Plain lengths first, so that among equally short sums the common ones are chosen.
constexpr uint8_t kCodeOrder[] = {0xC0, 0xC2, 0xC4, 0xC6, 0xC9, 0xCB, 0xCC, 0xCD, 0xC1,
                                  0xC3, 0xC5, 0xC7, 0xC8, 0xCA, 0xCE, 0xD0, 0xD1, 0xCF};

} // namespace

CLengthTable::CLengthTable(std::vector<int> partTicks, int top)
    : m_partTicks(std::move(partTicks)), m_nTop(top), m_parts(size_t(top) + 1, kNone),
      m_last(size_t(top) + 1, 0) {
    m_parts[0] = 0;
    for (int t = 1; t <= top; ++t) {
        for (size_t part = 0; part < m_partTicks.size(); ++part) {
            const int length = m_partTicks[part];
            if (length <= t && m_parts[size_t(t - length)] != kNone &&
                m_parts[size_t(t - length)] + 1 < m_parts[size_t(t)]) {
                m_parts[size_t(t)] = uint8_t(m_parts[size_t(t - length)] + 1);
                m_last[size_t(t)] = uint8_t(part);
            }
        }
    }
}

int CLengthTable::Parts(int ticks) const {
    return ticks < 0 || ticks > m_nTop ? kNone : m_parts[size_t(ticks)];
}

void CLengthTable::Append(int ticks, std::vector<int>& parts) const {
    while (ticks > 0) {
        const int part = m_last[size_t(ticks)];
        parts.push_back(part);
        ticks -= m_partTicks[size_t(part)];
    }
}

int CLengthTable::Fewest(int ticks, int tolerance) const {
    int best = 0;
    for (int d = 0; d <= tolerance; ++d) {
        for (const int length : {ticks - d, ticks + d}) {
            if (length > 0 && Parts(length) != kNone && (best == 0 || Parts(length) < Parts(best)))
                best = length;
        }
    }
    return best != 0 ? best : Nearest(ticks);
}

int CLengthTable::Nearest(int ticks) const {
    for (int d = 0; d <= m_nTop; ++d) {
        const int below = ticks - d;
        const int above = ticks + d;
        const bool low = below > 0 && Parts(below) != kNone;
        const bool high = Parts(above) != kNone;
        if (low && high)
            return Parts(above) < Parts(below) ? above : below;
        if (low)
            return below;
        if (high)
            return above;
    }
    return 0;
}

const CLengthTable& LengthCodeTable() {
    static const CLengthTable table = [] {
        std::vector<int> lengths;
        std::transform(std::begin(kCodeOrder), std::end(kCodeOrder), std::back_inserter(lengths),
                       [](uint8_t code) { return GetDurationTicks(code); });
        return CLengthTable(lengths, 16 * 2360 + 16);
    }();
    return table;
}

std::vector<uint8_t> SplitIntoCodes(int ticks) {
    std::vector<uint8_t> codes;
    const CLengthTable& table = LengthCodeTable();
    if (ticks <= 0 || table.Parts(ticks) == CLengthTable::kNone)
        return codes;
    std::vector<int> parts;
    table.Append(ticks, parts);
    std::transform(parts.begin(), parts.end(), std::back_inserter(codes),
                   [](int part) { return kCodeOrder[part]; });
    std::sort(codes.begin(), codes.end(),
              [](uint8_t a, uint8_t b) { return GetDurationTicks(a) > GetDurationTicks(b); });
    return codes;
}
