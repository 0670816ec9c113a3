// Start-up of KesV with a song, from process start to its main window shown and painted,
// side by side with a minimal Qt window; and the resident memory of both once shown.
// Needs an X display: without DISPLAY it runs itself again under xvfb-run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::string g_binDir;
std::string g_sourceDir = KESV_SOURCE_DIR;

// Starts the program, waits for its "shown <kB>" line; returns seconds and resident kB.
bool RunOnce(const std::vector<std::string>& args, double& seconds, long& residentKb) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return false;
    }
    std::string out;
    char buffer[256];
    while (out.find('\n') == std::string::npos) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, size_t(n));
    }
    const auto shown = std::chrono::steady_clock::now();
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    seconds = std::chrono::duration<double>(shown - start).count();
    residentKb = 0;
    if (out.rfind("shown", 0) != 0)
        return false;
    residentKb = std::atol(out.c_str() + 5);
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

/// Each iteration starts the bare window, then KesV, so that both meet the same load on the
/// machine; the counters are the medians of each and their ratio.
void BM_StartUpSideBySide(benchmark::State& state, std::vector<std::string> bare,
                          std::vector<std::string> kesv) {
    std::vector<double> bareMs, kesvMs;
    long bareKb = 0, kesvKb = 0;
    for (auto _ : state) {
        double bareSeconds = 0, kesvSeconds = 0;
        if (!RunOnce(bare, bareSeconds, bareKb) || !RunOnce(kesv, kesvSeconds, kesvKb)) {
            state.SkipWithError("a program did not report its window");
            return;
        }
        bareMs.push_back(bareSeconds * 1000);
        kesvMs.push_back(kesvSeconds * 1000);
        state.SetIterationTime(kesvSeconds);
    }
    state.counters["bare_ms"] = Median(bareMs);
    state.counters["kesv_ms"] = Median(kesvMs);
    state.counters["time_ratio"] = Median(kesvMs) / Median(bareMs);
    state.counters["bare_MB"] = double(bareKb) / 1024.0;
    state.counters["kesv_MB"] = double(kesvKb) / 1024.0;
    state.counters["extra_MB"] = double(kesvKb - bareKb) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("KESV_BENCH_NO_XVFB")) {
        std::vector<char*> again = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                    const_cast<char*>("-s"),
                                    const_cast<char*>("-screen 0 1280x1024x24")};
        for (int i = 0; i < argc; ++i)
            again.push_back(argv[i]);
        again.push_back(nullptr);
        setenv("KESV_BENCH_NO_XVFB", "1", 1);
        execvp("xvfb-run", again.data());
        std::perror("xvfb-run");
        return 1;
    }
    // Programs beside this one: ../src/app/kesv and minimal_window.
    std::string self = argv[0];
    g_binDir = self.substr(0, self.find_last_of('/') + 1);
    const std::string kesv = g_binDir + "../src/app/kesv";
    const std::string minimal = g_binDir + "minimal_window";
    const std::string song = g_sourceDir + "/tests/data/sample.kes";
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // A profile of its own, so that the runs leave the user's recent files alone.
    char profile[] = "/tmp/kesv-bench-XXXXXX";
    if (mkdtemp(profile))
        setenv("XDG_CONFIG_HOME", profile, 1);

    benchmark::RegisterBenchmark("BM_StartUp/kesv_with_song_vs_bare_window", BM_StartUpSideBySide,
                                 std::vector<std::string>{minimal, "--startup-probe"},
                                 std::vector<std::string>{kesv, "--startup-probe", song})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(profile, ignored);
    return 0;
}
