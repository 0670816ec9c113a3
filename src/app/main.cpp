// KesV: step entry of short melodies.
#include "app/kesapp.h"
#include "app/mainframe.h"

#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Once the window is on the screen and painted: saves it as an image (when `screenshot` is
// given) or prints "shown <resident kB>", then ends the program.
void ReportWhenShown(CMainFrame* frame, const QString& screenshot) {
    auto* poll = new QTimer(frame);
    QObject::connect(poll, &QTimer::timeout, frame, [frame, poll, screenshot] {
        if (!frame->windowHandle() || !frame->windowHandle()->isExposed())
            return;
        poll->stop();
        frame->repaint();
        if (!screenshot.isEmpty()) {
            const bool saved = frame->grab().save(screenshot);
            std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save",
                         qPrintable(screenshot));
            QCoreApplication::exit(saved ? 0 : 2);
            return;
        }
        std::printf("shown %ld\n", ResidentKilobytes());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    poll->start(1);
}

} // namespace

int main(int argc, char** argv) {
    CKesApp app(argc, argv);
    QStringList arguments = CKesApp::arguments().mid(1);

    // Developer options, used by scripts/screenshot.sh and the start-up benchmark:
    // --screenshot <png> saves the painted main window; --startup-probe reports it shown.
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
        return 1; // the song of the command line could not be opened; the user was told
    CMainFrame* frame = app.GetMainFrame();
    frame->show();
    if (!screenshot.isEmpty() || probe)
        ReportWhenShown(frame, screenshot);
    return CKesApp::exec();
}
