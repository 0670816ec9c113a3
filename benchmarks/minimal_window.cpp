// For scale in the start-up benchmark: a minimal Qt window with a menu, a tool bar and a
// status bar. With --startup-probe it prints "shown <resident kB>" once painted and ends.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
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

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&New"));
    file->addAction(QStringLiteral("&Open..."));
    file->addAction(QStringLiteral("E&xit"), &window, &QMainWindow::close);
    window.menuBar()->addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("&About"));
    QToolBar* bar = window.addToolBar(QStringLiteral("Main"));
    bar->addAction(QStringLiteral("New"));
    bar->addAction(QStringLiteral("Open"));
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    window.setCentralWidget(new QLabel(QStringLiteral("Hello")));
    window.resize(800, 560);
    window.show();
    if (app.arguments().contains(QStringLiteral("--startup-probe"))) {
        auto* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&window, poll] {
            if (!window.windowHandle() || !window.windowHandle()->isExposed())
                return;
            poll->stop();
            window.repaint();
            std::printf("shown %ld\n", ResidentKilobytes());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
        poll->start(1);
    }
    return QApplication::exec();
}
