// The main of the benchmarks that need widgets: a QApplication on the offscreen platform
// around Google Benchmark's run, with the user's folders read as the program reads them.
#include "settings/userfolders.h"

#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    InitUserFolders();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
