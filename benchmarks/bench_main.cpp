// The main of the benchmarks without widgets: the user's folders read as the program reads
// them, then Google Benchmark's run.
#include "settings/userfolders.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    InitUserFolders();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
