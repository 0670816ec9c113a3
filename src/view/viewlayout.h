// What the score view computes without a window: the geometry of the header, the list and
// the panels, the texts of the list rows and the scroll arithmetic. The view draws with
// these; the tests check them directly.
#pragma once

#include "song/musictime.h"
#include "song/song.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// A rectangle whose right and bottom edges lie outside it.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool PtInRect(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    void DeflateRect(int dx, int dy) {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
    }
    bool operator==(const PixelRect&) const = default;
};

/// Character width and line height of the list font and the geometry that follows.
struct ViewMetrics {
    int cw = 6;
    int lh = 12;

    int GetListWidth() const { return 33 * cw + 8; }
    /// Top of the k-th visible row.
    int GetRowTop(int k) const { return (lh + 1) * k + 2 * lh + 5; }
    int RowPitch() const { return lh + 1; }
    int HeaderBottom() const { return lh + 4; }
    /// Left of the text of every row.
    int TextLeft() const { return 2 * cw + 6; }

    PixelRect TempoLabelRect() const { return {0, 0, 5 * cw + 4, lh + 4}; }
    PixelRect TempoValueRect() const { return {5 * cw + 4, 0, 8 * cw + 8, lh + 4}; }
    PixelRect TitleLabelRect() const { return {8 * cw + 8, 0, 13 * cw + 12, lh + 4}; }
    PixelRect TitleValueRect() const { return {13 * cw + 12, 0, GetListWidth(), lh + 4}; }
    /// The cursor cell of a row for an input column (first character, width in characters).
    PixelRect CursorRect(int k, int columnPos, int inputMax) const {
        const int left = cw * (columnPos + 2) + 5;
        return {left, GetRowTop(k), left + cw * inputMax + 2, GetRowTop(k) + lh + 2};
    }
};

constexpr int kStaffPanelHeight = 180;

enum class HeaderHit { None, Tempo, Title };
/// Which label cell of the header row a click at (x, y) hits.
HeaderHit HitTestHeader(const ViewMetrics& metrics, int x, int y);

/// "%3d" of the tempo, or "  -" for a tempo byte below 0x60.
std::string FormatTempoText(uint8_t tempoByte);

/// The bar and beat of the row above, for blanking repeated positions; -1 before the first
/// visible row so that it always shows its position in full.
struct RowRepeat {
    int bar = -1;
    int beat = -1;
};

/// The cp932 text of list row `index` that starts at `tick`: number, code, pitch,
/// bar/beat/tick, note name and length. `event` is null for the end row. Updates `repeat`.
std::string FormatEventRow(int index, const SongEvent* event, uint32_t tick,
                           const TimeSignature& signature, RowRepeat& repeat);
/// The same with the bars of `meter` and note names spelt by `key` when there is one.
std::string FormatEventRow(int index, const SongEvent* event, uint32_t tick, const Meter& meter,
                           const std::optional<SongKey>& key, RowRepeat& repeat);

/// The column header of the list, in cp932.
std::string ColumnHeaderText();

/// Double-byte cp932 marks used in row texts.
inline constexpr char kRestMark[] = "\x8B\x78"; // 休
inline constexpr char kTieMark[] = "\x81\xAB";  // ↓
inline constexpr char kNoteMark[] = "\x81\xF4"; // ♪

/// The vertical scroll state in rows: minimum 0, maximum the event count (the end row).
struct ScrollState {
    int minimum = 0;
    int maximum = 0;
    int page = 1;
    int position = 0;
};

enum ScrollCode {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
    kScrollEnd = 8,
};

/// Whole rows below the list's top that fit into a client area of this height (at least 1).
int ComputePageSize(const ViewMetrics& metrics, int clientHeight);
/// Limits a position so that the end row is never above the last visible row.
int ClampScrollPosition(int position, const ScrollState& state);
/// The position after a scroll code; nothing for codes that do not scroll.
std::optional<int> ScrollPositionFor(int code, int trackPosition, const ScrollState& state);
/// The nearest row to `row` that is visible at the state's position.
int RowKeptVisible(int row, const ScrollState& state);
/// The position that shows `row` with the least scrolling.
int PositionShowingRow(int row, const ScrollState& state);

/// Lines of the function-key guide written into a guide `height` pixels high: the first
/// always, each further one while its top lies above the bottom edge (at most six).
int KeyGuideLineCount(int height, int lineHeight);
