// The staff panel's pixels: at one device pixel per pixel exactly as the reference images.
#include "settings/envsettings.h"
#include "song/musictime.h"
#include "song/songcodec.h"
#include "view/staffpainter.h"

#include <QPainter>
#include <QTest>

namespace {

constexpr int kPanelWidth = 480;

QString DataPath(const char* name) {
    return QStringLiteral(KESV_VIEW_TEST_DATA "/") + QLatin1String(name);
}

QPalette LightPalette() {
    return QPalette(QColor(240, 240, 240));
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
        image.fill(Qt::magenta);
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

    // Sharps, naturals, ledger lines above and below, ties, a rest and short notes.
    void SetAccidentalsAndLedgers() {
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

private Q_SLOTS:
    void init() {
        m_settings.SetDefaults();
        QFile file(QStringLiteral(KESV_SAMPLE_SONG));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(DecodeSong({reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())},
                            m_song),
                 SongDecodeError::None);
        ComputeStartTicks(m_song);
    }

    // At one device pixel per pixel the panel is what it always was, pixel for pixel.
    void ratio1_panelAsTheReference_data() {
        QTest::addColumn<bool>("accidentals");
        QTest::addColumn<int>("cursorRow");
        QTest::addColumn<QString>("reference");
        QTest::newRow("sample song") << false << 0 << DataPath("staff-sample-1x.png");
        QTest::newRow("accidentals and ledgers")
            << true << 1 << DataPath("staff-accidentals-1x.png");
    }
    void ratio1_panelAsTheReference() {
        QFETCH(bool, accidentals);
        QFETCH(int, cursorRow);
        QFETCH(QString, reference);
        if (accidentals)
            SetAccidentalsAndLedgers();
        const QImage expected(reference);
        QVERIFY(!expected.isNull());
        QCOMPARE(Panel(cursorRow, 1, LightPalette()),
                 expected.convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(StaffPixelsTest)
#include "staffpixels_test.moc"
