// Real key events through the score view on the offscreen platform: what a user typing a
// melody sees happen to the song, the cursor and the window.
#include "document/kesdoc.h"
#include "settings/envsettings.h"
#include "view/kesview.h"
#include "view/viewlayout.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <string>

namespace {

using KeyMods = Qt::KeyboardModifiers;

void AddEvents(Song& song, std::initializer_list<std::pair<uint8_t, uint8_t>> events) {
    for (const auto& [code, pitch] : events)
        song.events[size_t(song.count++)] = {0, code, pitch};
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class KesViewKeysTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CKesDoc> m_doc;
    EnvSettings m_settings{};
    std::unique_ptr<QWidget> m_window; // the view beside a line edit that could take the focus
    CKesView* m_view = nullptr;
    QLineEdit* m_other = nullptr;

    Song& song() { return m_doc->GetSong(); }
    const SongEvent& ev(int i) { return song().events[size_t(i)]; }
    std::string Pending() { return std::string(m_view->GetEditor().PendingInput()); }

    void MakeView() {
        m_window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_window.get());
        m_other = new QLineEdit(m_window.get());
        m_view = new CKesView(m_doc.get(), &m_settings, m_window.get());
        layout->addWidget(m_other);
        layout->addWidget(m_view, 1);
        m_window->resize(800, 500);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_view->UpdateScrollRange(-1);
        m_view->setFocus();
        QApplication::processEvents();
        QVERIFY(m_view->hasFocus());
    }

    // One key press (and its release) as the keyboard sends it; whether the view took it.
    bool Press(int key, KeyMods mods = Qt::NoModifier, const QString& text = QString()) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        press.setAccepted(false);
        QApplication::sendEvent(m_view, &press);
        const bool taken = press.isAccepted();
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(m_view, &release);
        return taken;
    }

    // Types text as a US keyboard does: capitals and "#" come with SHIFT held.
    void Type(const char* text) {
        for (const char* p = text; *p; ++p) {
            const char c = *p;
            KeyMods mods = Qt::NoModifier;
            int key = 0;
            if (c >= 'a' && c <= 'z') {
                key = Qt::Key_A + (c - 'a');
            } else if (c >= 'A' && c <= 'Z') {
                key = Qt::Key_A + (c - 'A');
                mods = Qt::ShiftModifier;
            } else if (c == '#') {
                key = Qt::Key_NumberSign;
                mods = Qt::ShiftModifier;
            } else {
                key = c; // digits and the blank are their own Qt keys
            }
            QTest::sendKeyEvent(QTest::Click, m_view, Qt::Key(key), QString(QLatin1Char(c)), mods);
        }
    }

    // The list text of event i as a row of the window shows it.
    std::string RowText(int i) {
        ComputeStartTicks(song());
        RowRepeat repeat;
        return FormatEventRow(i, i < song().count ? &ev(i) : nullptr, ev(i).startTick,
                              m_settings.GetTimeSignature(), repeat);
    }

    QImage Render() {
        QImage image(m_view->viewport()->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        m_view->OnDraw(painter, QRect(QPoint(0, 0), image.size()));
        return image;
    }
    QImage Shown() {
        const QPoint origin = m_view->viewport()->mapTo(m_window.get(), QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(m_window->winId(), origin.x(), origin.y(), m_view->viewport()->width(),
                         m_view->viewport()->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // Cursor on row `row`, column `column` by keys (Ctrl+Up, Down..., Right...).
    void GoTo(int row, int column) {
        QTest::keyClick(m_view, Qt::Key_Up, Qt::ControlModifier);
        for (int i = 0; i < column; ++i)
            QTest::keyClick(m_view, Qt::Key_Right);
        for (int i = 0; i < row; ++i)
            QTest::keyClick(m_view, Qt::Key_Down);
        QCOMPARE(m_view->Cursor().row, row);
        QCOMPARE(m_view->Cursor().column, column);
    }

private Q_SLOTS:
    void init() {
        m_doc = std::make_unique<CKesDoc>();
        m_settings.SetDefaults();
    }
    void cleanup() {
        m_window.reset();
        m_view = nullptr;
        m_doc.reset();
    }

    // An empty song, F5, up, right twice, "C4", Enter: a quarter note middle C, shown.
    void endToEnd_quarterNoteMiddleC() {
        MakeView();
        QSignalSpy modified(m_view, &CKesView::songModified);
        QTest::keyClick(m_view, Qt::Key_F5);
        QCOMPARE(song().count, 1);
        QCOMPARE(ev(0).code, uint8_t(0xC4));
        QCOMPARE(ev(0).pitch, uint8_t(0xFF));
        QCOMPARE(m_view->Cursor().row, 1);

        QTest::keyClick(m_view, Qt::Key_Up);
        QTest::keyClick(m_view, Qt::Key_Right);
        QTest::keyClick(m_view, Qt::Key_Right);
        QCOMPARE(m_view->Cursor().row, 0);
        QCOMPARE(m_view->Cursor().column, 2);
        Type("C4");
        QCOMPARE(Pending(), std::string("C4"));
        QCOMPARE(ev(0).pitch, uint8_t(0xFF)); // nothing applied yet
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(Pending(), std::string());
        QCOMPARE(song().count, 1);
        QCOMPARE(ev(0).code, uint8_t(0xC4));
        QCOMPARE(ev(0).pitch, uint8_t(51));
        QCOMPARE(m_view->Cursor().row, 0);
        QVERIFY(m_doc->IsModified());
        QVERIFY(modified.count() >= 2);

        const std::string row = RowText(0);
        QCOMPARE(row.substr(0, 3), std::string("000"));
        QCOMPARE(row.substr(4, 2), std::string("C4"));
        QCOMPARE(row.substr(7, 2), std::string("33"));
        QCOMPARE(row.substr(22, 3), std::string("C 4"));
        // The window holds what a full painting of the new state shows.
        QApplication::processEvents();
        QCOMPARE(Shown(), Render());
    }

    // Typed text in each column, confirmed with Enter, clamped to what the column allows.
    void typing_eachColumnClampsItsValue_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("pitch");
        // The event starts as code 0xC6, pitch 63 (C 5).
        QTest::newRow("code c4") << 0 << QByteArray("c4") << 0xC4 << 63;
        QTest::newRow("code FF clamps to DF") << 0 << QByteArray("FF") << 0xDF << 63;
        QTest::newRow("code 00 clamps to C0") << 0 << QByteArray("00") << 0xC0 << 63;
        QTest::newRow("code blank is C0") << 0 << QByteArray(" ") << 0xC0 << 63;
        QTest::newRow("pitch 3c") << 1 << QByteArray("3c") << 0xC6 << 0x3C;
        QTest::newRow("pitch 05 clamps to 24") << 1 << QByteArray("05") << 0xC6 << 24;
        QTest::newRow("pitch FF clamps to 95") << 1 << QByteArray("FF") << 0xC6 << 95;
        QTest::newRow("pitch 0 is a rest") << 1 << QByteArray("0") << 0xC6 << 0;
        QTest::newRow("pitch blank is a tie") << 1 << QByteArray(" ") << 0xC6 << 0xFF;
        QTest::newRow("name E keeps octave") << 2 << QByteArray("E") << 0xC6 << 67;
        QTest::newRow("name f#3") << 2 << QByteArray("f#3") << 0xC6 << 45;
        QTest::newRow("name B#7 clamps to 95") << 2 << QByteArray("B#7") << 0xC6 << 95;
        QTest::newRow("name blank is a tie") << 2 << QByteArray(" ") << 0xC6 << 0xFF;
    }
    void typing_eachColumnClampsItsValue() {
        QFETCH(int, column);
        QFETCH(QByteArray, typed);
        QFETCH(int, code);
        QFETCH(int, pitch);
        AddEvents(song(), {{0xC4, 51}, {0xC6, 63}, {0xC4, 55}});
        MakeView();
        GoTo(1, column);
        Type(typed.constData());
        QCOMPARE(Pending(), typed.toStdString());
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(int(ev(1).code), code);
        QCOMPARE(int(ev(1).pitch), pitch);
        QCOMPARE(song().count, 3);
        QCOMPARE(ev(0).pitch, uint8_t(51)); // the neighbours stay
        QCOMPARE(ev(2).pitch, uint8_t(55));
    }

    // A character the column does not accept, or one too many, goes on unused.
    void typing_refusedCharactersArePassedOn() {
        AddEvents(song(), {{0xC4, 51}});
        MakeView();
        GoTo(0, 1);
        QVERIFY(Press(Qt::Key_3, {}, QStringLiteral("3")));
        QVERIFY(Press(Qt::Key_C, {}, QStringLiteral("c")));
        QVERIFY(!Press(Qt::Key_1, {}, QStringLiteral("1"))); // third character in a 2-wide column
        QVERIFY(!Press(Qt::Key_G, {}, QStringLiteral("g")));
        QCOMPARE(Pending(), std::string("3c"));
        QTest::keyClick(m_view, Qt::Key_Left); // a cursor move applies the text
        QCOMPARE(ev(0).pitch, uint8_t(0x3C));
        QCOMPARE(m_view->Cursor().column, 0);
        QVERIFY(!Press(Qt::Key_G, {}, QStringLiteral("g"))); // not hexadecimal
        QVERIFY(!Press(Qt::Key_Eacute, {}, QStringLiteral("\u00e9")));
        // A character beyond one byte is not taken for the byte it ends in (U+0143 is not C).
        QVERIFY(!Press(Qt::Key_unknown, {}, QStringLiteral("\u0143")));
        QCOMPARE(Pending(), std::string());
        // Digits from the keypad type like the others.
        QVERIFY(Press(Qt::Key_C, {}, QStringLiteral("c")));
        QVERIFY(Press(Qt::Key_6, Qt::KeypadModifier, QStringLiteral("6")));
        QVERIFY(Press(Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r")));
        QCOMPARE(ev(0).code, uint8_t(0xC6));
    }

    void backspace_shortensThePendingText() {
        AddEvents(song(), {{0xC4, 51}});
        MakeView();
        GoTo(0, 1);
        Type("3c");
        QVERIFY(Press(Qt::Key_Backspace));
        QCOMPARE(Pending(), std::string("3"));
        Type("d");
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(ev(0).pitch, uint8_t(0x3D));
        // With nothing pending Backspace goes on and changes nothing.
        QVERIFY(!Press(Qt::Key_Backspace));
        QCOMPARE(ev(0).pitch, uint8_t(0x3D));
        QCOMPARE(song().count, 1);
    }

    void enterAppliesAndEscDrops() {
        AddEvents(song(), {{0xC4, 51}, {0xC4, 53}});
        MakeView();
        GoTo(1, 2);
        Type("G");
        QVERIFY(Press(Qt::Key_Escape, {}, QStringLiteral("\x1b")));
        QCOMPARE(Pending(), std::string());
        QCOMPARE(ev(1).pitch, uint8_t(53));
        QCOMPARE(m_view->Cursor().row, 1);
        QTest::keyClick(m_view, Qt::Key_Down); // nothing left to apply
        QCOMPARE(ev(1).pitch, uint8_t(53));
        QTest::keyClick(m_view, Qt::Key_Up);
        Type("G");
        QVERIFY(Press(Qt::Key_Return, {}, QStringLiteral("\r")));
        QCOMPARE(ev(1).pitch, uint8_t(58));
        QCOMPARE(m_view->Cursor().row, 1);
        // The keypad's Enter confirms too.
        Type("A");
        QVERIFY(Press(Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r")));
        QCOMPARE(ev(1).pitch, uint8_t(60));

        // On the end row a name and Enter add nothing; a code and Enter add an event.
        QTest::keyClick(m_view, Qt::Key_Down, Qt::ControlModifier);
        Type("C");
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(song().count, 2);
        QTest::keyClick(m_view, Qt::Key_Left);
        QTest::keyClick(m_view, Qt::Key_Left); // column 0 (the end row keeps its row)
        QCOMPARE(m_view->Cursor().row, 2);
        QCOMPARE(m_view->Cursor().column, 0);
        Type("c6");
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(song().count, 3);
        QCOMPARE(ev(2).code, uint8_t(0xC6));
        QCOMPARE(ev(2).pitch, uint8_t(0xFF));
    }

    // Function keys with SHIFT and CTRL on an event with a typed name pending: the name is
    // dropped, the length (or tie, rest) is set and the cursor steps down.
    void functionKeys_withShiftAndCtrl_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("pitch");
        const int none = 0, shift = int(Qt::ShiftModifier), ctrl = int(Qt::ControlModifier);
        // The event starts as code 0xC2, pitch 51.
        QTest::newRow("F1") << int(Qt::Key_F1) << none << 0xC0 << 51;
        QTest::newRow("F5") << int(Qt::Key_F5) << none << 0xC4 << 51;
        QTest::newRow("F8 sixteenth") << int(Qt::Key_F8) << none << 0xC9 << 51;
        QTest::newRow("F9 triplet") << int(Qt::Key_F9) << none << 0xC7 << 51;
        QTest::newRow("F10 sextuplet") << int(Qt::Key_F10) << none << 0xC8 << 51;
        QTest::newRow("F11 tie") << int(Qt::Key_F11) << none << 0xC2 << 0xFF;
        QTest::newRow("F12 rest") << int(Qt::Key_F12) << none << 0xC2 << 0;
        QTest::newRow("Shift+F1") << int(Qt::Key_F1) << shift << 0xCA << 51;
        QTest::newRow("Ctrl+F5") << int(Qt::Key_F5) << ctrl << 0xCE << 51;
        QTest::newRow("Shift+Ctrl+F8") << int(Qt::Key_F8) << (shift | ctrl) << 0xD1 << 51;
        QTest::newRow("Shift+F9 nothing") << int(Qt::Key_F9) << shift << 0xC2 << 51;
        QTest::newRow("Ctrl+F11 nothing") << int(Qt::Key_F11) << ctrl << 0xC2 << 51;
        QTest::newRow("F13 as F1") << int(Qt::Key_F13) << none << 0xC0 << 51;
        QTest::newRow("F14 as Shift+F2") << int(Qt::Key_F14) << none << 0xCB << 51;
    }
    void functionKeys_withShiftAndCtrl() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, code);
        QFETCH(int, pitch);
        AddEvents(song(), {{0xC2, 51}, {0xC2, 51}});
        MakeView();
        GoTo(0, 2);
        Type("E");
        QTest::keyClick(m_view, Qt::Key(key), KeyMods(mods));
        QCOMPARE(Pending(), std::string());
        QCOMPARE(int(ev(0).code), code);
        QCOMPARE(int(ev(0).pitch), pitch);
        QCOMPARE(ev(1).code, uint8_t(0xC2));
        QCOMPARE(song().count, 2);
        QCOMPARE(m_view->Cursor().row, 1);
    }

    // Function keys on the end row add events; F11 there adds nothing but still steps.
    void functionKeys_onTheEndRowAppend() {
        AddEvents(song(), {{0xC4, 51}});
        MakeView();
        QTest::keyClick(m_view, Qt::Key_End, Qt::NoModifier); // unbound: stays
        QTest::keyClick(m_view, Qt::Key_Down, Qt::ControlModifier);
        QTest::keyClick(m_view, Qt::Key_F7);
        QTest::keyClick(m_view, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(song().count, 3);
        QCOMPARE(ev(1).code, uint8_t(0xC6));
        QCOMPARE(ev(2).code, uint8_t(0xCC));
        QCOMPARE(ev(2).pitch, uint8_t(0xFF));
        QCOMPARE(m_view->Cursor().row, 3);
        QTest::keyClick(m_view, Qt::Key_F11);
        QCOMPARE(song().count, 3);
        QCOMPARE(m_view->Cursor().row, 3);
    }

    // Piano method: letters on the end row append copies of the last event with new notes.
    void pianoKeys_onTheEndRowCopyTheLastEvent() {
        AddEvents(song(), {{0xC6, 63}}); // eighth note C 5
        MakeView();
        GoTo(0, 2);
        QTest::keyClick(m_view, Qt::Key_Down);
        QCOMPARE(m_view->Cursor().row, 1);
        QCOMPARE(m_view->Cursor().column, 2);
        // The method is read from the live settings at each key.
        QVERIFY(!Press(Qt::Key_Z, {}, QStringLiteral("z")));
        QCOMPARE(song().count, 1);
        m_settings.flags |= EnvSettings::kFlagPianoInput;
        Type("zxM");
        QCOMPARE(song().count, 4);
        QCOMPARE(ev(1).code, uint8_t(0xC6));
        QCOMPARE(ev(1).pitch, uint8_t(63));
        QCOMPARE(ev(2).code, uint8_t(0xC6));
        QCOMPARE(ev(2).pitch, uint8_t(65));
        QCOMPARE(ev(3).pitch, uint8_t(74)); // capital M is B
        QCOMPARE(m_view->Cursor().row, 4);
        // A digit and Enter change the octave the next keys keep.
        Type("3");
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(song().count, 4); // a name on the end row adds nothing
        QTest::keyClick(m_view, Qt::Key_Up);
        Type("3");
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(ev(3).pitch, uint8_t(50)); // B 3
        QTest::keyClick(m_view, Qt::Key_Down);
        Type("c");
        QCOMPARE(song().count, 5);
        QCOMPARE(ev(4).pitch, uint8_t(43)); // the C key is E: E 3
        QCOMPARE(m_view->Cursor().row, 5);
        QVERIFY(m_doc->IsModified());
        // Other letters are passed on; so are piano letters outside column 2.
        QVERIFY(!Press(Qt::Key_Q, {}, QStringLiteral("q")));
        QTest::keyClick(m_view, Qt::Key_Up);
        QTest::keyClick(m_view, Qt::Key_Left);
        QVERIFY(!Press(Qt::Key_Z, {}, QStringLiteral("z")));
        QCOMPARE(song().count, 5);
    }

    // Keys the editor does not use go on unhandled and change nothing: ALT with any key,
    // the keys unbound by default, and combinations without a binding table entry.
    void unusedKeysArePassedOn_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("text");
        const int alt = int(Qt::AltModifier);
        QTest::newRow("Alt+Up") << int(Qt::Key_Up) << alt << QString();
        QTest::newRow("Alt+PageUp") << int(Qt::Key_PageUp) << alt << QString();
        QTest::newRow("Alt+Insert") << int(Qt::Key_Insert) << alt << QString();
        QTest::newRow("Alt+F5") << int(Qt::Key_F5) << alt << QString();
        QTest::newRow("Alt+Enter") << int(Qt::Key_Return) << alt << QStringLiteral("\r");
        QTest::newRow("Home") << int(Qt::Key_Home) << 0 << QString();
        QTest::newRow("End") << int(Qt::Key_End) << 0 << QString();
        QTest::newRow("Shift+PageUp") << int(Qt::Key_PageUp) << int(Qt::ShiftModifier) << QString();
        QTest::newRow("Ctrl+Shift+Up")
            << int(Qt::Key_Up) << int(Qt::ControlModifier | Qt::ShiftModifier) << QString();
    }
    void unusedKeysArePassedOn() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, text);
        AddEvents(song(), {{0xC4, 51}, {0xC4, 53}, {0xC4, 55}});
        MakeView();
        GoTo(1, 1);
        const Song before = song();
        QVERIFY(!Press(key, KeyMods(mods), text));
        QVERIFY(song() == before);
        QCOMPARE(m_view->Cursor().row, 1);
        QCOMPARE(m_view->Cursor().column, 1);
        QVERIFY(!m_doc->IsModified());
        // The end row with ALT: no event appended either.
        QTest::keyClick(m_view, Qt::Key_Down, Qt::ControlModifier);
        QVERIFY(!Press(key, KeyMods(mods), text));
        QVERIFY(song() == before);
    }

    // Tab stays with the view, beside another widget that could take the focus, and runs
    // whatever the live settings bind to it. (Unbound Tab in the main window: frame test.)
    void tab_reachesTheViewAndKeepsTheFocus() {
        AddEvents(song(), {{0xC4, 51}, {0xC4, 53}, {0xC4, 55}});
        MakeView();
        // Unbound, Tab still stays in the view.
        QTest::keyClick(m_view, Qt::Key_Tab);
        QVERIFY(m_view->hasFocus());
        QCOMPARE(m_view->Cursor().row, 0);
        m_settings.bindings[0][12] = 8;  // TAB: one row down
        m_settings.bindings[1][12] = 12; // SHIFT+TAB: one column right
        QVERIFY(Press(Qt::Key_Tab, {}, QStringLiteral("\t")));
        QTest::keyClick(m_view, Qt::Key_Tab);
        QCOMPARE(m_view->Cursor().row, 2);
        QTest::keyClick(m_view, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(m_view->Cursor().column, 1);
        QVERIFY(m_view->hasFocus());
        QVERIFY(!m_other->hasFocus());
    }

    // ALT keys belong to the menus: their text is never typed into a cell.
    void altLetterIsNotTyped() {
        AddEvents(song(), {{0xC4, 51}});
        MakeView();
        GoTo(0, 1);
        QVERIFY(!Press(Qt::Key_C, Qt::AltModifier, QStringLiteral("c")));
        QVERIFY(!Press(Qt::Key_3, Qt::AltModifier, QStringLiteral("3")));
        QCOMPARE(Pending(), std::string());
        QTest::keyClick(m_view, Qt::Key_Return);
        QCOMPARE(ev(0).pitch, uint8_t(51));
    }

    // Cursor moves leave the document unmodified; every key that edits marks it.
    void modified_onlyByEdits_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<bool>("modifies");
        const int none = 0;
        QTest::newRow("Down") << int(Qt::Key_Down) << none << QByteArray() << false;
        QTest::newRow("Right") << int(Qt::Key_Right) << none << QByteArray() << false;
        QTest::newRow("Ctrl+Down")
            << int(Qt::Key_Down) << int(Qt::ControlModifier) << QByteArray() << false;
        QTest::newRow("Shift+Down")
            << int(Qt::Key_Down) << int(Qt::ShiftModifier) << QByteArray() << false;
        QTest::newRow("Shift+Right bar")
            << int(Qt::Key_Right) << int(Qt::ShiftModifier) << QByteArray() << false;
        QTest::newRow("Esc after typing")
            << int(Qt::Key_Escape) << none << QByteArray("3c") << false;
        QTest::newRow("Enter with nothing typed")
            << int(Qt::Key_Return) << none << QByteArray() << false;
        QTest::newRow("Enter after typing")
            << int(Qt::Key_Return) << none << QByteArray("3c") << true;
        QTest::newRow("Down after typing") << int(Qt::Key_Down) << none << QByteArray("3c") << true;
        QTest::newRow("PageUp") << int(Qt::Key_PageUp) << none << QByteArray() << true;
        QTest::newRow("PageDown") << int(Qt::Key_PageDown) << none << QByteArray() << true;
        QTest::newRow("Insert") << int(Qt::Key_Insert) << none << QByteArray() << true;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << none << QByteArray() << true;
        QTest::newRow("F6") << int(Qt::Key_F6) << none << QByteArray() << true;
    }
    void modified_onlyByEdits() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QByteArray, typed);
        QFETCH(bool, modifies);
        AddEvents(song(), {{0xC4, 51}, {0xC4, 53}, {0xC4, 55}});
        MakeView();
        GoTo(1, 1);
        QSignalSpy spy(m_view, &CKesView::songModified);
        Type(typed.constData());
        QVERIFY(!m_doc->IsModified()); // typing alone changes nothing yet
        QTest::keyClick(m_view, Qt::Key(key), KeyMods(mods));
        QCOMPARE(m_doc->IsModified(), modifies);
        QCOMPARE(spy.count() > 0, modifies);
    }

    // PageUp on a pitch changes the song and the window shows it at once.
    void valueStep_repaintsTheWindow() {
        AddEvents(song(), {{0xC4, 51}, {0xC4, 53}});
        MakeView();
        GoTo(1, 1);
        QApplication::processEvents();
        PaintCounter counter;
        m_view->viewport()->installEventFilter(&counter);
        QVERIFY(Press(Qt::Key_PageUp));
        QVERIFY(counter.paints > 0); // painted before the key returned
        QCOMPARE(ev(1).pitch, uint8_t(54));
        QCOMPARE(RowText(1).substr(7, 2), std::string("36"));
        m_view->viewport()->removeEventFilter(&counter);
        QCOMPARE(Shown(), Render());
    }

    // One key paints the window once, however many rows, panels and scroll moves it changes.
    void oneKey_paintsOnce_data() {
        QTest::addColumn<int>("events");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("key");
        QTest::newRow("F5 on the end row") << 2 << 2 << 0 << int(Qt::Key_F5);
        QTest::newRow("F5 on the end row, scrolling") << 60 << 60 << 0 << int(Qt::Key_F5);
        QTest::newRow("F5 on an event") << 2 << 0 << 0 << int(Qt::Key_F5);
        QTest::newRow("PageUp on a pitch") << 2 << 1 << 1 << int(Qt::Key_PageUp);
        QTest::newRow("Insert") << 2 << 1 << 0 << int(Qt::Key_Insert);
        QTest::newRow("Down") << 2 << 0 << 0 << int(Qt::Key_Down);
    }
    void oneKey_paintsOnce() {
        QFETCH(int, events);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, key);
        for (int i = 0; i < events; ++i)
            AddEvents(song(), {{0xC4, uint8_t(51 + i % 12)}});
        MakeView();
        GoTo(row, column);
        QApplication::processEvents();
        PaintCounter counter;
        m_view->viewport()->installEventFilter(&counter);
        Press(key);
        QApplication::processEvents(); // the paints a key only asked for
        m_view->viewport()->removeEventFilter(&counter);
        QCOMPARE(counter.paints, 1);
        QCOMPARE(Shown(), Render()); // and that paint left nothing out
    }
};

QTEST_MAIN(KesViewKeysTest)
#include "kesview_keys_test.moc"
