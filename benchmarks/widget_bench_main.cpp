// The main of the benchmarks that need widgets: a QApplication on the offscreen platform
// around Google Benchmark's run, started as the program starts: the user's folders read, the
// MIDI environment set.
#include "midi/midisetup.h"
#include "settings/userfolders.h"

#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    PrepareMidiEnvironment();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    InitUserFolders();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
