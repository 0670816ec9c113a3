// The score view as a screen reader reads it: the cells' words and the one event each step
// sends, observed where the view hands them to Qt.
#include "document/kesdoc.h"
#include "settings/envsettings.h"
#include "view/kesview.h"
#include "view/kesviewaccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace {

struct Heard {
    QAccessible::Event type;
    QAccessible::Role role;
    QString name;
    QString text; // inserted text
};
std::vector<Heard> g_heard;

void Record(QAccessibleEvent* event) {
    QAccessibleInterface* iface = event->accessibleInterface();
    Heard heard{event->type(), iface ? iface->role() : QAccessible::NoRole,
                iface ? iface->text(QAccessible::Name) : QString(), QString()};
    if (event->type() == QAccessible::TextInserted)
        heard.text = static_cast<QAccessibleTextInsertEvent*>(event)->textInserted();
    g_heard.push_back(heard);
}

} // namespace

class KesViewAccessTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CKesDoc> m_doc;
    EnvSettings m_settings{};
    std::unique_ptr<CKesView> m_view;

    QAccessibleInterface* List() {
        QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(m_view.get());
        for (int i = 0; i < pane->childCount(); ++i) {
            if (pane->child(i)->role() == QAccessible::Table)
                return pane->child(i);
        }
        return nullptr;
    }
    QString Cell(int row, int column) {
        return List()->tableInterface()->cellAt(row, column)->text(QAccessible::Name);
    }
    static std::vector<Heard> HeardOf(QAccessible::Event type) {
        std::vector<Heard> found;
        for (const Heard& heard : g_heard) {
            if (heard.type == type)
                found.push_back(heard);
        }
        return found;
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
        g_heard.clear();
        QTest::sendKeyEvent(QTest::Click, m_view.get(), Qt::Key(key), text, mods);
        QApplication::processEvents();
    }

private Q_SLOTS:
    void initTestCase() { CKesViewAccessible::ObserveEvents(Record); }
    void init() {
        m_doc = std::make_unique<CKesDoc>();
        m_settings.SetDefaults();
        m_view = std::make_unique<CKesView>(m_doc.get(), &m_settings);
        m_view->resize(700, 400);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        m_view->setFocus();
        QApplication::processEvents();
        g_heard.clear();
    }
    void cleanup() {
        m_view.reset();
        m_doc.reset();
    }

    void cellsSayTheSongInWords() {
        Song& song = m_doc->GetSong();
        for (const auto& [code, pitch] :
             {std::pair{0xC4, 0x33}, {0xC6, 0xFF}, {0xC9, 0x00}, {0xC3, 0x34}})
            song.events[size_t(song.count++)] = {0, uint8_t(code), uint8_t(pitch)};
        m_doc->OnSongChanged();
        m_view->OnSongReplaced();
        QCOMPARE(List()->tableInterface()->rowCount(), 5);
        QCOMPARE(List()->tableInterface()->columnCount(), 6);
        const QStringList first{QStringLiteral("0 行目"),       QStringLiteral("長さ C4"),
                                QStringLiteral("音高 33"),      QStringLiteral("0 小節 1 拍"),
                                QStringLiteral("C4、四分音符"), QStringLiteral("1 拍")};
        for (int column = 0; column < 6; ++column)
            QCOMPARE(Cell(0, column), first[column]);
        QCOMPARE(Cell(1, 4), QStringLiteral("タイ、八分音符"));
        QCOMPARE(Cell(1, 5), QStringLiteral("240 ティック"));
        QCOMPARE(Cell(2, 3), QStringLiteral("0 小節 2 拍 240 ティック"));
        QCOMPARE(Cell(2, 4), QStringLiteral("休符、16分音符"));
        QCOMPARE(Cell(3, 4), QStringLiteral("Cシャープ4、付点四分音符"));
        QCOMPARE(Cell(3, 5), QStringLiteral("1 拍 240 ティック"));
        QCOMPARE(Cell(4, 0), QStringLiteral("終端"));
        QCOMPARE(Cell(4, 1), QStringLiteral("ここに新しい音符が入ります"));

        // The cursor (row 0, code column) is the focused cell; the staff says the bar in words.
        QAccessibleInterface* cursor = List()->tableInterface()->cellAt(0, 1);
        QVERIFY(cursor->state().focused);
        QVERIFY(!List()->tableInterface()->cellAt(0, 4)->state().focused);
        QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(m_view.get());
        QStringList parts;
        for (int i = 0; i < pane->childCount(); ++i)
            parts << pane->child(i)->text(QAccessible::Name);
        QVERIFY2(parts.contains(QStringLiteral("テンポ 120")), qPrintable(parts.join(u'|')));
        QVERIFY(parts.contains(QStringLiteral(
            "譜表 0 小節: 1 拍目 C4、四分音符、2 拍目 タイ、八分音符、2 拍目 240 ティック 休符、"
            "16分音符、2 拍目 360 ティック Cシャープ4、付点四分音符")));
    }

    void eachStepIsHeardOnce() {
        Key(Qt::Key_F5);
        auto focus = HeardOf(QAccessible::Focus);
        QCOMPARE(int(focus.size()), 1);
        QCOMPARE(focus[0].name, QStringLiteral("ここに新しい音符が入ります"));

        Key(Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(HeardOf(QAccessible::Focus).back().name, QStringLiteral("長さ C4"));

        Key(Qt::Key_C, Qt::ShiftModifier, QStringLiteral("C"));
        Key(Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
        QCOMPARE(int(g_heard.size()), 1);
        QCOMPARE(g_heard[0].type, QAccessible::TextInserted);
        QCOMPARE(g_heard[0].text, QStringLiteral("5"));

        // Applying says the cell again, as it is now, from a new object: a reader takes an
        // object of the same name and place for the one it has already spoken.
        QAccessibleInterface* before = List()->tableInterface()->cellAt(0, 1);
        Key(Qt::Key_Return);
        focus = HeardOf(QAccessible::Focus);
        QCOMPARE(int(focus.size()), 1);
        QCOMPARE(focus[0].name, QStringLiteral("長さ C5"));
        QVERIFY(List()->tableInterface()->cellAt(0, 1) != before);
        QCOMPARE(before->text(QAccessible::Name), QString());
        QCOMPARE(before->rect(), QRect());

        Key(Qt::Key_Insert);
        QCOMPARE(int(HeardOf(QAccessible::Focus).size()), 1);
        QCOMPARE(List()->tableInterface()->rowCount(), 3);

        g_heard.clear();
        m_view->OnEditUndo();
        QCOMPARE(int(HeardOf(QAccessible::Focus).size()), 1);
        QCOMPARE(List()->tableInterface()->rowCount(), 2);

        g_heard.clear();
        m_view->OnEditExtendDown();
        QCOMPARE(int(HeardOf(QAccessible::Focus).size()), 1);
        QCOMPARE(Cell(0, 0), QStringLiteral("0 行目、選択中"));
    }

    void refusalsAreAnnounced() {
        QSignalSpy status(m_view.get(), &CKesView::statusMessage);
        Key(Qt::Key_G, Qt::NoModifier, QStringLiteral("g")); // the code column takes hex digits
        auto shown = HeardOf(QAccessible::ObjectShow);
        QCOMPARE(int(shown.size()), 1);
        QCOMPARE(shown[0].role, QAccessible::Notification);
        QCOMPARE(shown[0].name, QStringLiteral("「g」は長さコードの列には入力できません"));
        QCOMPARE(status.size(), 1);

        // A pitch on the end row has no event to go to.
        m_view->SetColumn(2);
        Key(Qt::Key_C, Qt::ShiftModifier, QStringLiteral("C"));
        shown = HeardOf(QAccessible::ObjectShow);
        QCOMPARE(int(shown.size()), 1);
        QVERIFY(shown[0].name.contains(QStringLiteral("F1〜F10")));
    }
};

QTEST_MAIN(KesViewAccessTest)
#include "kesview_access_test.moc"
