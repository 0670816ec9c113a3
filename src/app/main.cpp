// KesV: step entry of short melodies.
#include "app/kesapp.h"
#include "app/mainframe.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    CKesApp app(argc, argv);
    QStringList arguments = CKesApp::arguments().mid(1);

    // Developer options: --screenshot <png> saves the painted main window and ends;
    // --startup-probe prints "shown" once the window is painted and ends.
    QString screenshot;
    bool probe = false;
    if (arguments.size() >= 2 && arguments.constFirst() == QStringLiteral("--screenshot")) {
        screenshot = arguments[1];
        arguments = arguments.mid(2);
    } else if (!arguments.isEmpty() &&
               arguments.constFirst() == QStringLiteral("--startup-probe")) {
        probe = true;
        arguments = arguments.mid(1);
    }

    if (!app.InitInstance(arguments))
        return 1;
    CMainFrame* frame = app.GetMainFrame();
    frame->show();

    if (!screenshot.isEmpty() || probe) {
        QTimer::singleShot(0, frame, [frame, screenshot] {
            frame->repaint();
            if (!screenshot.isEmpty()) {
                const bool saved = frame->grab().save(screenshot);
                std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save",
                             qPrintable(screenshot));
                QCoreApplication::exit(saved ? 0 : 2);
                return;
            }
            std::printf("shown\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }
    return CKesApp::exec();
}
