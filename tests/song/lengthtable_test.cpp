// The fewest parts that add up to a length, for the length codes and for other parts alike.
#include "song/lengthtable.h"
#include "song/musictime.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

int Sum(const std::vector<uint8_t>& codes) {
    return std::accumulate(codes.begin(), codes.end(), 0,
                           [](int sum, uint8_t code) { return sum + GetDurationTicks(code); });
}

} // namespace

TEST(LengthTable, CodesAddUpLongestFirstAndAsFewAsCanBe) {
    EXPECT_EQ(SplitIntoCodes(1440), std::vector<uint8_t>{0xC1}); // a dotted half
    EXPECT_EQ(SplitIntoCodes(1920 + 480), (std::vector<uint8_t>{0xC0, 0xC4}));
    for (int ticks : {15, 111, 475, 1905, 2360 * 16}) {
        const std::vector<uint8_t> codes = SplitIntoCodes(ticks);
        EXPECT_EQ(Sum(codes), ticks) << ticks;
        EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end(), [](uint8_t a, uint8_t b) {
            return GetDurationTicks(a) > GetDurationTicks(b);
        }));
    }
    EXPECT_EQ(SplitIntoCodes(1920 + 480).size(), 2u);
    EXPECT_TRUE(SplitIntoCodes(0).empty());
    EXPECT_TRUE(SplitIntoCodes(1).empty()); // shorter than any code
    EXPECT_TRUE(SplitIntoCodes(LengthCodeTable().Top() + 1).empty());
}

TEST(LengthTable, OtherPartsAndTheNearestLengths) {
    const CLengthTable table({5, 3}, 20);
    EXPECT_EQ(table.Parts(8), 2);
    EXPECT_EQ(table.Parts(7), CLengthTable::kNone);
    EXPECT_EQ(table.Parts(15), 3); // 5+5+5, not five 3s
    std::vector<int> parts;
    table.Append(15, parts);
    EXPECT_EQ(parts, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(table.Fewest(7, 1), 6);   // 6 and 8 both take two: the lower
    EXPECT_EQ(table.Fewest(11, 1), 10); // 10 takes two, 11 three, 12 four
    EXPECT_EQ(table.Nearest(4), 3);     // 3 and 5 are equally near and short: the lower
    EXPECT_EQ(table.Nearest(30), 20);   // beyond the top: the top
    EXPECT_EQ(table.Fewest(1, 0), 3);   // none within the tolerance: the nearest
}
