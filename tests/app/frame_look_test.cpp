// The main window's pictures and texts on the offscreen platform at the scales CTest gives
// (1 and 2): lock panes, tool-bar and window icons, menu captions in Fusion at a larger size.
#include "app/commandids.h"
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
#include <QPalette>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>
#include <numeric>

namespace {

// The dark pixels of a widget's picture within `area` (logical), by device-pixel column.
QList<int> InkByColumn(QWidget* widget, const QRect& area) {
    const QImage image = widget->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels(area.topLeft() * ratio, area.size() * ratio);
    QList<int> ink(pixels.width());
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            ink[x - pixels.left()] += qGray(image.pixel(x, y)) < 215;
    }
    return ink;
}

int Sum(const QList<int>& values) {
    return std::accumulate(values.begin(), values.end(), 0);
}

} // namespace

class FrameLookTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Lock panes whose text stays off the frame; the record button and the window icon
    // with pictures of their own at twice the pixels, not their 1x ones doubled.
    void panesAndIcons() {
        CKesDoc doc;
        const EnvSettings settings{};
        CMainFrame frame(&doc, settings);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        for (int key = 0; key < CLockKeys::KeyCount; ++key) {
            QLabel* pane = frame.lockPane(key);
            const QList<int> ink = InkByColumn(pane, pane->contentsRect());
            QVERIFY2(Sum(ink) > 0 && Sum(ink.first(2)) == 0 && Sum(ink.last(2)) == 0,
                     qPrintable(pane->text()));
        }
        const QImage sharp(QStringLiteral(":/record@2x.png"));
        const QPixmap record = frame.action(cmd::MidiRecord)->icon().pixmap(QSize(16, 15), 2.0);
        QCOMPARE(record.toImage().convertToFormat(sharp.format()), sharp);
        QVERIFY(sharp != QImage(QStringLiteral(":/record.png")).scaled(32, 30));
        QCOMPARE(CKesApp::ProgramIcon().pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
    }

    // The tool-bar pictures are the files' own pixels on a light palette; on a dark one no
    // opaque pixel stays darker than mid-grey, so that each stands out on the dark bar.
    void toolBarPicturesFitThePalette() {
        CKesDoc doc;
        const EnvSettings settings{};
        CMainFrame frame(&doc, settings);
        const auto picture = [&frame](int id) {
            return frame.action(id)
                ->icon()
                .pixmap(QSize(16, 15), 1.0)
                .toImage()
                .convertToFormat(QImage::Format_ARGB32);
        };
        frame.setPalette(QPalette(QColor(240, 240, 240)));
        QCOMPARE(picture(cmd::FileSave),
                 QImage(QStringLiteral(":/save.png")).convertToFormat(QImage::Format_ARGB32));
        frame.setPalette(QPalette(QColor(53, 53, 53)));
        for (int id : {cmd::FileSave, cmd::EditCut, cmd::MidiPlay, cmd::MidiStop}) {
            const QImage image = picture(id);
            int darkest = 255;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor color = image.pixelColor(x, y);
                    if (color.alpha() > 0)
                        darkest = std::min(darkest, color.lightness());
                }
            }
            QVERIFY2(darkest >= 127, qPrintable(QString::number(id)));
        }
    }

    // Each caption is drawn as in a menu with room to spare (an elided one has less ink).
    void menuCaptionsShowWhole() {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
        InstallMenuStyle();
        CKesDoc doc;
        const EnvSettings settings{};
        CMainFrame frame(&doc, settings);
        const auto ink = [](QMenu* menu, QAction* action) {
            menu->resize(menu->sizeHint());
            // Inside the row: the first one touches the menu's frame, as long as the menu.
            return Sum(InkByColumn(menu, menu->actionGeometry(action).adjusted(1, 1, -1, -1)));
        };
        for (QAction* title : frame.menuBar()->actions()) {
            for (QAction* action : title->menu()->actions()) {
                if (action->isSeparator() || !action->isVisible())
                    continue;
                QMenu roomy;
                roomy.addAction(action);
                roomy.addAction(QString(80, QLatin1Char('_')));
                QVERIFY2(ink(title->menu(), action) == ink(&roomy, action),
                         qPrintable(action->text()));
            }
        }
    }
};

QTEST_MAIN(FrameLookTest)
#include "frame_look_test.moc"
