// The main of the benchmarks that need widgets: a QApplication on the offscreen platform
// around Google Benchmark's run, started as the program starts.
#include "midi/midisetup.h"

#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    PrepareMidiEnvironment();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
