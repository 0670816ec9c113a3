// The list, the header and the staff panel in words, as a screen reader says them: each cell
// of the event list, the bar the staff panel shows, the tempo and the title. In the interface
// language.
#pragma once

#include "song/musictime.h"
#include "song/song.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

class CSpokenText {
    Q_DECLARE_TR_FUNCTIONS(CSpokenText)

public:
    /// The columns of the list as the screen shows them; the code and the pitch byte (the
    /// screen's "bin." column) are a column each, as the cursor visits them.
    enum Column { Number, Code, Pitch, Position, Note, Length, kColumnCount };
    /// The list column of an input column of the editor (0 code, 1 pitch, 2 note name).
    static Column ColumnOfInput(int inputColumn);
    /// The column's heading in words.
    static QString ColumnName(Column column);

    /// One cell of list row `row` ("3 行目", "4 小節 2 拍", "D4 四分音符", …); the row equal to
    /// the song's count is the end row. Start ticks of `song` must be current.
    static QString Cell(const Song& song, int row, Column column, const TimeSignature& signature,
                        bool selected);

    /// The written value of a length code ("付点四分音符"); a code outside the table says so.
    static QString LengthName(uint8_t code);
    /// A pitch byte as a note name ("C シャープ 4"), a rest or a tie.
    static QString PitchName(uint8_t pitch, const std::optional<SongKey>& key = std::nullopt);
    /// A start tick as bar, beat and tick, numbered as the list shows them.
    static QString PositionName(uint32_t tick, const Meter& meter);

    static QString TempoText(uint8_t tempoByte);
    static QString TitleText(const std::string& cp932Title);
    /// The notes of the bar that starts at `origin` (one bar of `signature`), with their beats.
    static QString StaffText(const Song& song, uint32_t origin, const TimeSignature& signature);
};
