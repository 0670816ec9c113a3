// The score view on the offscreen platform: painted into an image and checked where the
// geometry of the list, the cursor and the staff panel would show a fault.
#include "dialogs/inputdlg.h"
#include "dialogs/tempodlg.h"
#include "document/kesdoc.h"
#include "nextmodal.h"
#include "settings/envsettings.h"
#include "song/songcodec.h"
#include "view/drawhelpers.h"
#include "view/kesview.h"

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <functional>
#include <memory>

namespace {

void AddEvents(CKesDoc& doc, std::initializer_list<std::pair<uint8_t, uint8_t>> events) {
    Song& song = doc.GetSong();
    for (const auto& [code, pitch] : events)
        song.events[size_t(song.count++)] = {0, code, pitch};
    doc.OnSongChanged();
}

} // namespace

class KesViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CKesDoc> m_doc;
    EnvSettings m_settings{};
    std::unique_ptr<CKesView> m_view;

    Song& song() { return m_doc->GetSong(); }
    const ViewMetrics& m() { return m_view->GetMetrics(); }
    QColor Sys(SysColor c) { return QColor(GetSysColor(m_view->palette(), c).rgb()); }

    // A view whose list shows exactly `rows` rows.
    void MakeView(int rows) {
        m_view = std::make_unique<CKesView>(m_doc.get(), &m_settings);
        const ViewMetrics& metrics = m_view->GetMetrics();
        const int height = metrics.GetRowTop(rows) + metrics.lh / 2;
        m_view->resize(700, height);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_view->UpdateScrollRange(-1);
    }

    QImage Render() {
        QImage image(m_view->viewport()->size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        m_view->OnDraw(painter, QRect(QPoint(0, 0), image.size()));
        return image;
    }

    // The viewport as the window holds it (not painted again).
    QImage Shown() {
        const QPoint origin = m_view->viewport()->mapTo(m_view.get(), QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(m_view->winId(), origin.x(), origin.y(), m_view->viewport()->width(),
                         m_view->viewport()->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // Whether anything but the background colour is inside the rectangle.
    static bool HasInk(const QImage& image, const QRect& rect, const QColor& background) {
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (image.pixelColor(x, y) != background)
                    return true;
        return false;
    }

    // The first page of a print, rasterised at the screen's resolution; `area` receives the
    // printable area in its pixels. Null when the page could not be rasterised.
    QImage PrintedPage(QRect* area) {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
        m_view->PrintTo(printer);
        const int dpi = m_view->logicalDpiX();
        *area = printer.pageLayout().paintRectPixels(dpi);
        QProcess::execute(QStringLiteral("pdftoppm"),
                          {QStringLiteral("-png"), QStringLiteral("-singlefile"),
                           QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-aa"),
                           QStringLiteral("no"), QStringLiteral("-aaVector"), QStringLiteral("no"),
                           printer.outputFileName(), dir.filePath(QStringLiteral("page"))});
        return QImage(dir.filePath(QStringLiteral("page.png")))
            .convertToFormat(QImage::Format_RGB32);
    }

    // Text cells [first, first + count) of visible row k.
    QRect Cells(int k, int first, int count) {
        return QRect(m().TextLeft() + first * m().cw, m().GetRowTop(k) + 1, count * m().cw, m().lh);
    }

    int XAt(int a) { return m().GetListWidth() + 1 + 42 + a; }
    int YAt(int b) { return 1 + 108 + b; }

private Q_SLOTS:
    void init() {
        m_doc = std::make_unique<CKesDoc>();
        m_settings.SetDefaults();
    }
    void cleanup() {
        m_view.reset();
        m_doc.reset();
    }

    void rowText_endRowAndRepetitionBlanking() {
        AddEvents(*m_doc, {{0xC4, 51}, {0xC4, 53}, {0xC4, 55}, {0xC4, 56}, {0xC4, 58}});
        MakeView(10);
        QImage image = Render();
        const QColor face = Sys(SysColor::BtnFace);
        QVERIFY(HasInk(image, Cells(0, 12, 4), face));  // bar of the first row
        QVERIFY(!HasInk(image, Cells(1, 12, 4), face)); // same bar: blank
        QVERIFY(HasInk(image, Cells(1, 16, 1), face));  // but a new beat
        QVERIFY(!HasInk(image, Cells(5, 4, 5), face));  // end row: no code, no pitch
        QVERIFY(HasInk(image, Cells(5, 10, 1), face));  // its colon
        QVERIFY(!HasInk(image, Cells(6, 0, 30), face)); // nothing below the end row

        // Scrolled by one row, the first visible row (in the middle of bar 0) shows its bar.
        m_view->OnVScroll(kScrollLineDown, 0);
        QCOMPARE(m_view->GetScrollPosition(), 0); // the whole song fits: no scrolling
        AddEvents(
            *m_doc,
            {{0xC4, 51}, {0xC4, 51}, {0xC4, 51}, {0xC4, 51}, {0xC4, 51}, {0xC4, 51}, {0xC4, 51}});
        m_view->UpdateScrollRange(-1);
        m_view->OnVScroll(kScrollLineDown, 0);
        QCOMPARE(m_view->GetScrollPosition(), 1);
        image = Render();
        QVERIFY(HasInk(image, Cells(0, 12, 4), face));
        QVERIFY(!HasInk(image, Cells(1, 12, 4), face));
    }

    void cursor_highlightWithPendingTextInEachColumn_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("code") << 0;
        QTest::newRow("pitch") << 1;
        QTest::newRow("name") << 2;
    }
    void cursor_highlightWithPendingTextInEachColumn() {
        QFETCH(int, column);
        AddEvents(*m_doc, {{0xC4, 51}, {0xC4, 53}});
        MakeView(10);
        m_view->SetColumn(column);
        m_view->SetCursorRow(1);
        QTest::keyClicks(m_view.get(), QStringLiteral("C"));
        QCOMPARE(m_view->GetEditor().PendingInput(), std::string_view("C"));
        const QImage image = Render();
        const InputColumn& cell = m_view->GetEditor().CursorCell();
        const PixelRect box = m().CursorRect(1, cell.position, cell.width);
        QCOMPARE(image.pixelColor(box.left, box.top), Sys(SysColor::DkShadow3D));
        QCOMPARE(image.pixelColor(box.right - 1, box.bottom - 1), Sys(SysColor::BtnHighlight));
        QCOMPARE(image.pixelColor(box.left + 1, box.top + 1), Sys(SysColor::Highlight));
        // The typed C sits at the right of the box: the left cell keeps the highlight.
        const QRect inner(box.left + 1, box.top + 1, box.Width() - 2, box.Height() - 2);
        QVERIFY(!HasInk(image,
                        QRect(inner.left(), inner.top(), inner.width() - m().cw, inner.height()),
                        Sys(SysColor::Highlight)));
        QVERIFY(HasInk(image, inner, Sys(SysColor::Highlight)));
    }

    void staff_cursorLineAndBeatLinesOfAnEmptySong() {
        MakeView(10);
        const QImage image = Render();
        const QColor red(255, 0, 0);
        QCOMPARE(image.pixelColor(XAt(5), 20), red);
        QCOMPARE(image.pixelColor(XAt(5), 170), red);
        QVERIFY(image.pixelColor(XAt(4), 20) != red);
        // At the origin a dotted line, at the next bar (4 beats of 48 pixels) a solid one.
        const QColor gray = Sys(SysColor::GrayText);
        QCOMPARE(image.pixelColor(XAt(0), YAt(-38)), gray);
        QCOMPARE(image.pixelColor(XAt(0), YAt(-37)), Sys(SysColor::BtnFace));
        QCOMPARE(image.pixelColor(XAt(48), YAt(-37)), Sys(SysColor::BtnFace));
        QCOMPARE(image.pixelColor(XAt(192), YAt(-37)), Sys(SysColor::BtnText));
        QCOMPARE(image.pixelColor(XAt(192), YAt(-4)), Sys(SysColor::BtnText));
        QCOMPARE(image.pixelColor(XAt(48), YAt(-4)), Sys(SysColor::BtnFace));
        // Staff lines over the whole width, none on the middle.
        QCOMPARE(image.pixelColor(XAt(100), YAt(-8)), Sys(SysColor::BtnText));
        QCOMPARE(image.pixelColor(XAt(100), YAt(40)), Sys(SysColor::BtnText));
        QCOMPARE(image.pixelColor(XAt(100), YAt(0)), Sys(SysColor::BtnFace));
    }

    void staff_noteHeadsLedgersAndDurationBars() {
        // Middle C, then D 4, both quarters; the staff starts at bar 0.
        AddEvents(*m_doc, {{0xC4, 51}, {0xC4, 53}});
        MakeView(10);
        const QImage image = Render();
        const QColor dark(0, 0, 0);
        const QColor text = Sys(SysColor::BtnText);
        // Middle C: head's left edge on the middle line, a ledger line two pixels before it.
        QCOMPARE(image.pixelColor(XAt(0), YAt(0)), dark);
        QCOMPARE(image.pixelColor(XAt(-2), YAt(0)), text);
        // D 4 at x 48: head four pixels higher, no ledger line.
        QCOMPARE(image.pixelColor(XAt(48), YAt(-4)), dark);
        QCOMPARE(image.pixelColor(XAt(58), YAt(0)), Sys(SysColor::BtnFace));
        // A quarter note's duration bar is 38 pixels from x + 10.
        const QColor gray = Sys(SysColor::GrayText);
        QCOMPARE(image.pixelColor(XAt(10), YAt(1)), gray);
        QCOMPARE(image.pixelColor(XAt(47), YAt(1)), gray);
        QCOMPARE(image.pixelColor(XAt(48), YAt(1)), Sys(SysColor::BtnFace));
        QCOMPARE(image.pixelColor(XAt(10), YAt(2)), Sys(SysColor::BtnFace));
    }

    void staff_accidentalMemory() {
        AddEvents(*m_doc, {{0xC4, 52}, {0xC4, 51}, {0xC4, 52}}); // C#4 C 4 C#4
        MakeView(10);
        const QImage image = Render();
        const QColor dark(0, 0, 0);
        // Glyph cells sit 10 pixels before the head, their row 10 on the note's offset.
        auto glyphPixel = [&](int noteX, int col, int row) {
            return image.pixelColor(XAt(noteX - 10 + col), YAt(-10 + row));
        };
        QCOMPARE(glyphPixel(0, 6, 4), dark);   // sharp
        QCOMPARE(glyphPixel(48, 7, 7), dark);  // natural
        QVERIFY(glyphPixel(48, 6, 4) != dark); // not a sharp
        QCOMPARE(glyphPixel(96, 6, 4), dark);  // sharp again
    }

    void scroll_oneRowDownFromTheLastVisibleRow() {
        for (int i = 0; i < 30; ++i)
            AddEvents(*m_doc, {{0xC4, 51}});
        MakeView(10);
        QCOMPARE(m_view->GetPageSize(), 10);
        m_view->MoveCursorTo(9);
        QCOMPARE(m_view->GetScrollPosition(), 0);
        m_view->MoveCursorTo(10);
        QCOMPARE(m_view->GetScrollPosition(), 1);
        QCOMPARE(m_view->Cursor().row, 10);
        // What the window holds after the blit is what a full painting shows.
        QApplication::processEvents();
        QCOMPARE(Shown(), Render());
        m_view->MoveCursorTo(500);
        QCOMPARE(m_view->Cursor().row, 30);
        QCOMPARE(m_view->GetScrollPosition(), 21);
        m_view->MoveCursorTo(20);
        QCOMPARE(m_view->GetScrollPosition(), 20);
        QApplication::processEvents();
        QCOMPARE(Shown(), Render());
    }

    void scroll_pageDownStopsWithTheEndRowLast() {
        for (int i = 0; i < 30; ++i)
            AddEvents(*m_doc, {{0xC4, 51}});
        MakeView(10);
        for (int i = 0; i < 5; ++i)
            m_view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(m_view->GetScrollPosition(), 21);
        QCOMPARE(m_view->Cursor().row, 21);
        m_view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(m_view->GetScrollPosition(), 0);
        QCOMPARE(m_view->Cursor().row, 9);
    }

    void scroll_barMovesTheCursorAndDropsPendingText() {
        for (int i = 0; i < 30; ++i)
            AddEvents(*m_doc, {{0xC4, 51}});
        MakeView(10);
        QTest::keyClicks(m_view.get(), QStringLiteral("C"));
        QCOMPARE(m_view->GetEditor().PendingInput(), std::string_view("C"));
        m_view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(m_view->GetScrollPosition(), 1);
        QCOMPARE(m_view->Cursor().row, 1);
        QVERIFY(m_view->GetEditor().PendingInput().empty());
    }

    void songReplaced_keepsTheCursorRowAndColumnWithinTheNewSongInView() {
        for (int i = 0; i < 30; ++i)
            AddEvents(*m_doc, {{0xC4, 51}});
        MakeView(10);
        m_view->SetColumn(1);
        m_view->MoveCursorTo(25);
        QTest::keyClicks(m_view.get(), QStringLiteral("3"));
        QCOMPARE(m_view->GetEditor().PendingInput(), std::string_view("3"));
        Song shorter;
        for (int i = 0; i < 20; ++i)
            shorter.events[size_t(shorter.count++)] = {0, 0xC4, 53};
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("short.kes")));
        const std::vector<uint8_t> bytes = EncodeSong(shorter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        QVERIFY(m_doc->OnOpenDocument(file.fileName(), nullptr));
        QCOMPARE(m_view->Cursor().row, 20); // the new end row, shown last
        QCOMPARE(m_view->GetScrollPosition(), 11);
        QCOMPARE(m_view->Cursor().column, 1);
        QVERIFY(m_view->GetEditor().PendingInput().empty());
        // A row the new song holds stays, and a visible one scrolls nothing.
        m_view->MoveCursorTo(2);
        m_view->MoveCursorTo(5);
        QVERIFY(m_doc->OnOpenDocument(file.fileName(), nullptr));
        QCOMPARE(m_view->Cursor().row, 5);
        QCOMPARE(m_view->GetScrollPosition(), 2);
    }

    void click_tempoLabelOpensTheTempoDialog() {
        MakeView(10);
        int seen = 0;
        OnNextModal<CTempoDlg>([&seen](CTempoDlg* dialog) {
            seen = dialog->m_nTempo;
            dialog->presetButton()->click();
            dialog->presetList()->setCurrentIndex(
                dialog->presetList()->findText(QStringLiteral("132")));
            dialog->accept();
        });
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(seen, 120);
        QCOMPARE(song().tempo, uint8_t(0x84));
        QVERIFY(m_doc->IsModified());
    }

    void click_titleLabelEditsTheTitleAndCancelChangesNothing() {
        MakeView(10);
        const QPoint title(m().TitleLabelRect().left + 1, 2);
        QString caption;
        OnNextModal<CInputDlg>([&caption](CInputDlg* dialog) {
            caption = dialog->windowTitle();
            dialog->reject();
        });
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(caption, QStringLiteral("Title編集"));
        QVERIFY(!m_doc->IsModified());
        OnNextModal<CInputDlg>([](CInputDlg* dialog) {
            dialog->edit()->setText(QStringLiteral("春の歌"));
            dialog->accept();
        });
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(song().title, std::string("\x8F\x74\x82\xCC\x89\xCC"));
        QVERIFY(m_doc->IsModified());
    }

    void click_besideTheLabelsOpensNothing() {
        MakeView(10);
        bool opened = false;
        auto* guard = new QTimer(this);
        connect(guard, &QTimer::timeout, this, [&opened] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = true;
                modal->close();
            }
        });
        guard->start(10);
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {},
                          QPoint(m().TempoLabelRect().right, 1));
        QTest::qWait(50);
        guard->stop();
        QVERIFY(!opened);
        QCOMPARE(song().tempo, kDefaultTempoByte);
    }

    // A title longer than its box ends in "…" before the box's edge, and shows whole as the
    // box's tool tip.
    void header_longTitleIsCutWithAnEllipsisAndShownWholeAsToolTip() {
        song().title = std::string(60, 'W');
        MakeView(10);
        const QImage image = Render();
        PixelRect inner = m().TitleValueRect();
        inner.DeflateRect(2, 2);
        const QColor text = Sys(SysColor::BtnText);
        const QRect edge(inner.right - 3, inner.top, 3, inner.Height());
        for (int y = edge.top(); y <= edge.bottom(); ++y)
            for (int x = edge.left(); x <= edge.right(); ++x)
                QVERIFY(image.pixelColor(x, y) != text);
        const PixelRect box = m().TitleValueRect();
        const QPoint at((box.left + box.right) / 2, (box.top + box.bottom) / 2);
        QHelpEvent help(QEvent::ToolTip, at, m_view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(m_view->viewport(), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QString(60, QLatin1Char('W')));
        QToolTip::hideText();
    }

    void print_pdfShowsLinesThroughGlyphsAndFitsThePage() {
        AddEvents(*m_doc, {{0xC4, 51}}); // middle C: the open head on its ledger line
        MakeView(10);
        QRect area;
        QImage page = PrintedPage(&area);
        QVERIFY2(!page.isNull(), "pdftoppm (poppler-utils, see scripts/install-deps.sh)");
        // Unscaled, the page shows the window at its size inside the printable area. The
        // glyph's white leaves the ledger line and the cursor line under it.
        auto at = [&](int x, int y) { return page.pixel(area.x() + x, area.y() + y); };
        for (int x = XAt(0); x < XAt(10); ++x)
            QVERIFY2(qGray(at(x, YAt(0))) < 96, qPrintable(QString::number(x - XAt(0))));
        QCOMPARE(at(XAt(5), YAt(-9)), qRgb(255, 0, 0));

        // Wider than the page: scaled down to end at the printable area's right edge.
        m_view->resize(1270, m_view->height());
        page = PrintedPage(&area);
        int right = page.width() - 1;
        while (right > 0 && !HasInk(page, QRect(right, 0, 1, page.height()), Qt::white))
            --right;
        QVERIFY2(right <= area.right() && right >= area.right() - 2,
                 qPrintable(QString::number(right - area.right())));
        // Taller than the page: the key guide's bottom edge stays on it.
        m_view->resize(700, 1600);
        page = PrintedPage(&area);
        int bottom = page.height() - 1;
        while (bottom > 0 && !HasInk(page, QRect(0, bottom, page.width(), 1), Qt::white))
            --bottom;
        QVERIFY2(bottom <= area.bottom() && bottom >= area.bottom() - 2,
                 qPrintable(QString::number(bottom - area.bottom())));
    }

    void keys_tabReachesTheEditor() {
        AddEvents(*m_doc, {{0xC4, 51}});
        MakeView(10);
        m_settings.bindings[0][12] = 12; // TAB: cursor right
        m_view->setFocus();
        QCOMPARE(m_view->Cursor().column, 0);
        QTest::keyClick(m_view.get(), Qt::Key_Tab);
        QVERIFY(m_view->hasFocus());
        QCOMPARE(m_view->Cursor().column, 1);
        QTest::keyClick(m_view.get(), Qt::Key_Down);
        QCOMPARE(m_view->Cursor().row, 1);
    }
};

QTEST_MAIN(KesViewTest)
#include "kesview_test.moc"
