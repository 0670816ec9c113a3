// A private JACK server for the MIDI benchmarks: 48 kHz, dummy driver, with the period given
// by --period=N on the command line (64 frames without it), under a name of its own so that no
// server of the user's is touched. The name is the first of kesv-bench-1 to -4 that no live server
// answers: JACK's shared registry holds 8 servers and gives the slot of a killed one back only to a
// new server of the same name.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "jackpeers.h"

/// The frames of a period from --period=N (16 to 4096), taken out of the arguments so that the
/// benchmark library does not see it; fallback without one.
inline int TakePeriodArgument(int& argc, char** argv, int fallback = 64) {
    int period = fallback;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strncmp(argv[i], "--period=", 9) == 0) {
            const int value = std::atoi(argv[i] + 9);
            if (value >= 16 && value <= 4096)
                period = value;
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    return period;
}

class CPrivateJackServer {
public:
    explicit CPrivateJackServer(int period) : m_strPeriod(std::to_string(period)) {
        setenv("JACK_NO_START_SERVER", "1", 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        for (int n = 1; n <= 4 && !m_bRunning; ++n) {
            const std::string name = "kesv-bench-" + std::to_string(n);
            setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
            if (!jackpeers::JackServerAnswers())
                m_bRunning = Start();
        }
    }
    ~CPrivateJackServer() { Stop(); }
    CPrivateJackServer(const CPrivateJackServer&) = delete;
    CPrivateJackServer& operator=(const CPrivateJackServer&) = delete;
    bool IsRunning() const { return m_bRunning; }

private:
    bool Start() {
        char jackd[] = "jackd", noRt[] = "--no-realtime", d[] = "-d", dummy[] = "dummy", r[] = "-r",
             rate[] = "48000", p[] = "-p";
        char* argv[] = {jackd, noRt, d, dummy, r, rate, p, m_strPeriod.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "jackd", &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 100 && m_pid > 0; ++i) {
            // A server that ended at once (the name taken meanwhile) answers nothing of ours.
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            if (jackpeers::JackServerAnswers())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Stop();
        return false;
    }
    // SIGINT lets the server leave JACK's registry clean; it runs after every client here.
    void Stop() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGINT);
        for (int i = 0; i < 500; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    std::string m_strPeriod;
    pid_t m_pid = -1;
    bool m_bRunning = false;
};
