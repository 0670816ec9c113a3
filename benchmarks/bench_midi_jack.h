// A private JACK server for the MIDI benchmarks: 48 kHz, 64-frame periods, dummy driver,
// under a name of its own so that no server of the user's is touched.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "jackpeers.h"

class CPrivateJackServer {
public:
    CPrivateJackServer() {
        const std::string name = "kesv-bench-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        char jackd[] = "jackd", noRt[] = "--no-realtime", d[] = "-d", dummy[] = "dummy", r[] = "-r",
             rate[] = "48000", p[] = "-p", period[] = "64";
        char* argv[] = {jackd, noRt, d, dummy, r, rate, p, period, nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "jackd", &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 100 && m_pid > 0 && !jackpeers::JackServerAnswers(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_bRunning = m_pid > 0 && jackpeers::JackServerAnswers();
    }
    ~CPrivateJackServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    CPrivateJackServer(const CPrivateJackServer&) = delete;
    CPrivateJackServer& operator=(const CPrivateJackServer&) = delete;
    bool IsRunning() const { return m_bRunning; }

private:
    pid_t m_pid = -1;
    bool m_bRunning = false;
};
