// Draws the list side of the score view: the header row with tempo and title, the event rows
// with their markers, play mark and selection, the cursor cell with its pending text, and
// the function-key guide below the staff panel.
#pragma once

#include "song/musictime.h"
#include "view/viewlayout.h"

#include <QCoreApplication>
#include <QFont>
#include <QStringList>

#include <memory>
#include <string>
#include <string_view>

class CCellTextPainter;
class QPainter;
class QPalette;
class QRect;
struct InputColumn;

/// What the event rows show besides the song: where they start and what is marked.
struct ListRows {
    int first = 0;    // the song's row at the top of the list
    int playRow = -1; // marked as being played; -1 none
    int selFirst = 0; // the selected rows, selCount of them from selFirst
    int selCount = 0;
    Meter meter;                // the song's bars
    std::optional<SongKey> key; // spells the note names when the song has one
};

class CListPainter {
    Q_DECLARE_TR_FUNCTIONS(CListPainter)

public:
    static constexpr int kKeyGuideLines = 6;

    /// `metrics` is the geometry of `font`, whose baseline lies `ascent` below a row's top.
    CListPainter(const QFont& font, const ViewMetrics& metrics, int ascent);
    ~CListPainter();
    CListPainter(const CListPainter&) = delete;
    CListPainter& operator=(const CListPainter&) = delete;

    void DrawHeader(QPainter& painter, const QPalette& palette, const Song& song);
    /// The column header, the list's frame and the rows from `rows.first` down to the
    /// bottom of `client`. Start ticks of `song` must be current.
    void DrawList(QPainter& painter, const QPalette& palette, const Song& song, const QRect& client,
                  const ListRows& rows);
    /// The cursor box in visible row `k` for the input column `cell`, with `pending` typed
    /// text right-aligned and highlighted in it.
    void DrawCursor(QPainter& painter, const QPalette& palette, int k, const InputColumn& cell,
                    std::string_view pending);
    void DrawKeyGuide(QPainter& painter, const QPalette& palette, const PixelRect& rect);
    /// The key guide's lines as the guide shows them, in the interface language.
    const QStringList& KeyGuideLines() const { return m_guideTexts; }
    /// The column header over the rows (cp932), in the interface language.
    const std::string& ColumnHeader() const { return m_strColumnHeader; }
    /// A row's text as the list shows it (cp932): FormatEventRow with a rest marked in the
    /// interface language.
    std::string RowText(int index, const SongEvent* event, uint32_t tick,
                        const TimeSignature& signature, RowRepeat& repeat) const;
    /// The same with the bars of `meter` and note names spelt by `key` when there is one.
    std::string RowText(int index, const SongEvent* event, uint32_t tick, const Meter& meter,
                        const std::optional<SongKey>& key, RowRepeat& repeat) const;

private:
    ViewMetrics m_metrics;
    std::unique_ptr<CCellTextPainter> m_pCellText;
    std::string m_strColumnHeader;
    std::string m_strRestMark; // cp932, the three cells of the note column
    QStringList m_guideTexts;
    std::string m_strGuideLines[kKeyGuideLines]; // cp932
};
