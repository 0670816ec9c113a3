// The main window's pictures and texts, on the offscreen platform at the scale CTest gives
// (1 and 2): lock panes whose text stays off the frame, tool-bar and window icons drawn for
// the pixel density, and menu captions shown whole in the Fusion style with a larger font.
#include "app/commandtable.h"
#include "app/kesapp.h"
#include "app/lockkeys.h"
#include "app/mainframe.h"
#include "app/menustyle.h"
#include "document/kesdoc.h"
#include "settings/envsettings.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTest>

namespace {

bool IsInk(QRgb pixel, QRgb background) {
    return std::abs(qGray(pixel) - qGray(background)) > 40;
}

// The dark pixels of an item's row as the menu draws it: fewer when the caption is elided.
int InkInRow(QMenu* menu, QAction* action) {
    menu->resize(menu->sizeHint());
    const QImage image = menu->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QRect row = menu->actionGeometry(action);
    int ink = 0;
    for (int y = int(row.top() * ratio); y < int((row.bottom() + 1) * ratio); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 100;
    }
    return ink;
}

} // namespace

class FrameLookTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lockPanesKeepTheirTextOffTheFrame() {
        CKesDoc doc;
        const EnvSettings settings{};
        CMainFrame frame(&doc, settings);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        for (int key = 0; key < CLockKeys::KeyCount; ++key) {
            QLabel* pane = frame.lockPane(key);
            const QImage image = pane->grab().toImage();
            const qreal ratio = image.devicePixelRatio();
            const QRect inside(pane->contentsRect().topLeft() * ratio,
                               pane->contentsRect().size() * ratio);
            const QRgb background = image.pixel(inside.center().x(), inside.top());
            int ink = 0;
            for (int y = inside.top(); y <= inside.bottom(); ++y) {
                for (int x = inside.left(); x <= inside.right(); ++x) {
                    if (!IsInk(image.pixel(x, y), background))
                        continue;
                    ++ink;
                    const bool nearFrame = x < inside.left() + ratio || x > inside.right() - ratio;
                    QVERIFY2(!nearFrame, qPrintable(pane->text()));
                }
            }
            QVERIFY2(ink > 0, qPrintable(pane->text())); // the text was there to be seen
        }
    }

    void iconsAreDrawnForTwiceThePixels() {
        CKesDoc doc;
        const EnvSettings settings{};
        CMainFrame frame(&doc, settings);
        int icons = 0;
        for (const CommandEntry& entry : FrameCommands()) {
            if (!entry.icon)
                continue;
            ++icons;
            const QString path = QString::fromLatin1(entry.icon);
            const QIcon icon = frame.action(entry.id)->icon();
            QCOMPARE(icon.pixmap(QSize(16, 15), 1.0).toImage(),
                     QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied));
            const QImage sharp = icon.pixmap(QSize(16, 15), 2.0).toImage();
            QCOMPARE(sharp.size(), QSize(32, 30));
            QCOMPARE(sharp, QImage(QString(path).replace(QStringLiteral(".png"),
                                                         QStringLiteral("@2x.png")))
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
        QCOMPARE(icons, 11);
        // The round record button is more than its 1x picture doubled.
        const QImage record(QStringLiteral(":/record.png"));
        QVERIFY(QImage(QStringLiteral(":/record@2x.png")) != record.scaled(32, 30));

        const QIcon program = CKesApp::ProgramIcon();
        QCOMPARE(program.pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
        QCOMPARE(program.pixmap(QSize(32, 32), 1.0).toImage(),
                 QImage(QStringLiteral(":/kesv.png"))
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    // Each caption is drawn as in a menu with room to spare.
    void menuCaptionsShowWhole() {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        const QFont font = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
        InstallMenuStyle();
        {
            CKesDoc doc;
            const EnvSettings settings{};
            CMainFrame frame(&doc, settings);
            for (QAction* title : frame.menuBar()->actions()) {
                QMenu* menu = title->menu();
                for (QAction* action : menu->actions()) {
                    if (action->isSeparator() || !action->isVisible())
                        continue;
                    QMenu roomy;
                    roomy.addAction(action);
                    roomy.addAction(QString(80, QLatin1Char('_')));
                    QVERIFY2(InkInRow(menu, action) == InkInRow(&roomy, action),
                             qPrintable(action->text()));
                }
            }
        }
        QApplication::setFont(font);
    }
};

QTEST_MAIN(FrameLookTest)
#include "frame_look_test.moc"
