// The staff panel's pixels at every device pixel ratio and colour scheme: at one device pixel
// per pixel exactly as the reference images, smooth and symmetric note heads at other ratios
// and in print, readable glyphs, cursor and play mark on a dark palette.
#include "document/kesdoc.h"
#include "settings/envsettings.h"
#include "song/musictime.h"
#include "song/songcodec.h"
#include "view/drawhelpers.h"
#include "view/kesview.h"
#include "view/staffglyphs.h"
#include "view/staffpainter.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

constexpr int kPanelWidth = 480;
// The test note, D 4 after an eighth's rest, away from the cursor and the beat lines and
// without a duration bar: its head's cell starts at x, its middle row is y (panel pixels).
constexpr int kHeadX = 42 + 24;
constexpr int kHeadY = 108 - 4;
const QColor kDarkFace(53, 53, 53);

QPalette LightPalette() {
    return QPalette(QColor(240, 240, 240));
}

// A dark scheme as a theme gives it: dark window, base and buttons, light text.
QPalette DarkPalette() {
    QPalette palette(kDarkFace);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, QColor(230, 230, 230));
    return palette;
}

// The contrast ratio of two colours as accessibility guidelines define it.
double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& color) {
        auto linear = [](double c) {
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Pixels of the test note's head (at `ratio` device pixels per pixel from `origin`) whose gray
// is between the light palette's background and black: the smoothed edge.
int SmoothedPixels(const QImage& image, qreal ratio, const QPoint& origin = {}) {
    const int face = qGray(LightPalette().color(QPalette::Button).rgb());
    int count = 0;
    for (int y = int((kHeadY - 5) * ratio); y < int((kHeadY + 5) * ratio); ++y)
        for (int x = int(kHeadX * ratio); x < int((kHeadX + 10) * ratio); ++x) {
            const int gray = qGray(image.pixel(origin + QPoint(x, y)));
            count += gray > 16 && gray < face - 16;
        }
    return count;
}

} // namespace

class StaffPixelsTest : public QObject {
    Q_OBJECT

private:
    Song m_song;
    EnvSettings m_settings{};
    CStaffPainter m_staff;

    // The panel of the bar holding `cursorRow`, painted at `ratio` device pixels per pixel.
    QImage Panel(int cursorRow, qreal ratio, const QPalette& palette) {
        QImage image(qRound(kPanelWidth * ratio), qRound(kStaffPanelHeight * ratio),
                     QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        QPainter painter(&image);
        m_staff.Draw(painter, palette, m_song, m_settings, cursorRow,
                     {0, 0, kPanelWidth, kStaffPanelHeight});
        return image;
    }

    void SetNotes(std::initializer_list<std::pair<uint8_t, uint8_t>> events) {
        m_song = Song{};
        for (const auto& [code, pitch] : events)
            m_song.events[size_t(m_song.count++)] = {0, code, pitch};
        ComputeStartTicks(m_song);
    }
    void SetTestNote(uint8_t pitch = 53) { SetNotes({{0xC6, kPitchRest}, {0xCC, pitch}}); }

    // A view of `doc` holding the current song, shown; null when it could not be shown.
    std::unique_ptr<CKesView> ShowView(CKesDoc& doc) {
        doc.GetSong() = m_song;
        doc.OnSongChanged();
        auto view = std::make_unique<CKesView>(&doc, &m_settings);
        view->resize(700, 400);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            view.reset();
        return view;
    }

private Q_SLOTS:
    void init() { m_settings.SetDefaults(); }

    // At one device pixel per pixel the panel is what it always was, pixel for pixel: the
    // sample song, and a song with sharps, naturals, ledger lines, ties and a rest.
    void ratio1_panelAsTheReference_data() {
        QTest::addColumn<bool>("sample");
        QTest::addColumn<int>("cursorRow");
        QTest::addColumn<QString>("reference");
        QTest::newRow("sample song") << true << 0 << QStringLiteral("staff-sample-1x.png");
        QTest::newRow("accidentals") << false << 1 << QStringLiteral("staff-accidentals-1x.png");
    }
    void ratio1_panelAsTheReference() {
        QFETCH(bool, sample);
        QFETCH(int, cursorRow);
        QFETCH(QString, reference);
        if (sample) {
            QFile file(QStringLiteral(KESV_SAMPLE_SONG));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QCOMPARE(
                DecodeSong({reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())},
                           m_song),
                SongDecodeError::None);
            ComputeStartTicks(m_song);
        } else {
            SetNotes({{0xC4, 52},
                      {0xC6, 51},
                      {0xC6, 52},
                      {0xC2, 75},
                      {0xC6, 27},
                      {0xC6, kPitchTie},
                      {0xC4, 69},
                      {0xC9, 60},
                      {0xC9, 61},
                      {0xC9, kPitchRest},
                      {0xC8, 84},
                      {0xC8, 22},
                      {0xC8, 58},
                      {0xC6, 70},
                      {0xC4, 66}});
        }
        const QImage expected(QStringLiteral(KESV_VIEW_TEST_DATA "/") + reference);
        QVERIFY(!expected.isNull());
        QCOMPARE(Panel(cursorRow, 1, LightPalette()),
                 expected.convertToFormat(QImage::Format_RGB32));
    }

    // With an eighth's upbeat the bar lines stand after it and a bar later, not at the origin.
    void pickup_barLinesFollowTheUpbeat() {
        SetNotes({{0xC6, kPitchRest}, {0xC0, kPitchRest}});
        const auto solid = [this](int x) {
            const QImage image = Panel(0, 1, LightPalette());
            for (int y = 108 - 40; y < 108 + 40; ++y) {
                if (qGray(image.pixel(x, y)) > 64)
                    return false;
            }
            return true;
        };
        QVERIFY(solid(42 + 192) && !solid(42 + 24) && !solid(42 + 216));
        m_song.music.pickup = 240;
        QVERIFY(!solid(42 + 192) && solid(42 + 24) && solid(42 + 216));
    }

    // Each outline matches its cell of the strip: filled at 1x, the pixels it covers by half
    // or more are the strip's ink but for a few on curves and slants.
    void outlines_matchTheStrip() {
        const CStaffGlyphs glyphs;
        for (const StaffGlyph glyph : {kGlyphSharp, kGlyphNatural, kGlyphFlat, kGlyphHead}) {
            QImage drawn(CStaffGlyphs::kCellWidth, CStaffGlyphs::kCellHeight,
                         QImage::Format_Alpha8);
            drawn.fill(0);
            QPainter painter(&drawn);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.fillPath(glyphs.Outline(glyph), Qt::black);
            painter.end();
            int ink = 0;
            int differing = 0;
            for (int y = 0; y < drawn.height(); ++y)
                for (int x = 0; x < drawn.width(); ++x) {
                    const bool inStrip = glyphs.Mask().pixelColor(10 * glyph + x, y).alpha() > 0;
                    ink += inStrip;
                    differing += inStrip != (drawn.pixelColor(x, y).alpha() >= 128);
                }
            QVERIFY2(ink >= 20 && differing <= ink / 8,
                     qPrintable(QStringLiteral("%1: %2 of %3").arg(glyph).arg(differing).arg(ink)));
        }
    }

    // At 1.5 and 2 the head is smoothed (not the 1x pixels repeated), and at 1.5, where its
    // middle falls on a pixel's middle, its columns mirror each other.
    void ratios_noteHeadSmoothAndSymmetric_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("2") << 2.0;
    }
    void ratios_noteHeadSmoothAndSymmetric() {
        QFETCH(qreal, ratio);
        SetTestNote();
        const QImage image = Panel(0, ratio, LightPalette());
        QVERIFY2(SmoothedPixels(image, ratio) >= 8,
                 qPrintable(QString::number(SmoothedPixels(image, ratio))));
        const int twiceMiddle = qRound(2 * ratio * (kHeadX + 5));
        for (int y = int((kHeadY - 5) * ratio); y < int((kHeadY + 5) * ratio); ++y)
            for (int x = int((kHeadX - 1) * ratio); x < twiceMiddle / 2; ++x) {
                const int left = qGray(image.pixel(x, y));
                const int right = qGray(image.pixel(twiceMiddle - 1 - x, y));
                QVERIFY2(
                    std::abs(left - right) <= 12,
                    qPrintable(QStringLiteral("%1,%2: %3 %4").arg(x).arg(y).arg(left).arg(right)));
            }
    }

    // On a dark palette the glyphs take the text's colour; the cursor line stays red and the
    // play mark green, all of them standing out from the background.
    void darkPalette_glyphsCursorAndPlayMarkStandOut() {
        SetTestNote(54); // D#: with a sharp before the head
        const QPalette dark = DarkPalette();
        for (const qreal ratio : {1.0, 2.0}) {
            const QImage image = Panel(0, ratio, dark);
            auto at = [&](int x, int y) {
                return image.pixelColor(int(x * ratio), int(y * ratio));
            };
            QVERIFY(Contrast(at(kHeadX, kHeadY), kDarkFace) >= 4.5);              // the head's left
            QVERIFY(Contrast(at(kHeadX - 10 + 6, kHeadY - 6), kDarkFace) >= 4.5); // the sharp
            const QColor cursor = at(42 + 5, 20);
            QVERIFY(cursor.red() > 2 * std::max(cursor.green(), cursor.blue()));
            QVERIFY(Contrast(cursor, kDarkFace) >= 3);
        }
        const QColor play = PlayMarkColor(dark);
        QVERIFY(play.green() > 2 * std::max(play.red(), play.blue()));
        QVERIFY(Contrast(play, kDarkFace) >= 3);
        QCOMPARE(PlayMarkColor(LightPalette()), QColor(0, 150, 0)); // light: as always
        QCOMPARE(CursorLineColor(LightPalette()), QColor(255, 0, 0));
    }

    // Printed, the head is drawn at the printer's resolution: rasterised at four times the
    // screen's, its edges are smoothed, not the screen's pixels enlarged. Paper stays light
    // under a dark scheme.
    void print_noteHeadsAreSmoothOnLightPaper() {
        SetTestNote();
        CKesDoc doc;
        const std::unique_ptr<CKesView> view = ShowView(doc);
        QVERIFY(view);
        view->setPalette(DarkPalette());
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
        view->PrintTo(printer);
        const int dpi = 4 * view->logicalDpiX();
        QProcess::execute(QStringLiteral("pdftoppm"),
                          {QStringLiteral("-png"), QStringLiteral("-singlefile"),
                           QStringLiteral("-r"), QString::number(dpi), printer.outputFileName(),
                           dir.filePath(QStringLiteral("page"))});
        const QImage page(dir.filePath(QStringLiteral("page.png")));
        QVERIFY2(!page.isNull(), "pdftoppm (poppler-utils, see scripts/install-deps.sh)");
        // The panel starts inside its frame, right of the list.
        const QPoint panel = printer.pageLayout().paintRectPixels(dpi).topLeft() +
                             4 * QPoint(view->GetListWidth() + 1, 1);
        QVERIFY2(SmoothedPixels(page, 4, panel) >= 16,
                 qPrintable(QString::number(SmoothedPixels(page, 4, panel))));
        QVERIFY(qGray(page.pixel(panel + 4 * QPoint(kHeadX + 20, kHeadY - 30))) > 200);
    }

    // Switched to a dark scheme while shown (the desktop's theme changed), the view paints
    // in the new colours.
    void paletteChange_repaintsTheShownView() {
        SetTestNote();
        CKesDoc doc;
        const std::unique_ptr<CKesView> view = ShowView(doc);
        QVERIFY(view);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        QApplication::setPalette(DarkPalette());
        const QPoint head = view->viewport()->mapTo(
            view.get(), QPoint(view->GetListWidth() + 1 + kHeadX, 1 + kHeadY));
        auto shownAt = [&](const QPoint& point) {
            return QGuiApplication::primaryScreen()
                ->grabWindow(view->winId(), point.x(), point.y(), 1, 1)
                .toImage()
                .pixelColor(0, 0);
        };
        // The change reaches the window through posted events: wait for the repaint.
        QTRY_COMPARE(shownAt(head + QPoint(20, -30)), kDarkFace);
        QVERIFY(Contrast(shownAt(head), kDarkFace) >= 4.5);
    }
};

QTEST_MAIN(StaffPixelsTest)
#include "staffpixels_test.moc"
