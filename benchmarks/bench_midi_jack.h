// A private JACK server for the MIDI benchmarks: 48 kHz, dummy driver, with the period given
// by --period=N on the command line (64 frames without it), under a name of its own
// (kesv-bench-1 to -4) so that no server of the user's is touched.
#pragma once

#include <cstdlib>
#include <cstring>

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

/// The benchmarks' server: started at once, stopped with SIGINT at the end.
class CPrivateJackServer {
public:
    explicit CPrivateJackServer(int period) : m_server(period, "kesv-bench") {
        setenv("JACK_NO_START_SERVER", "1", 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        m_bRunning = m_server.Start();
    }
    bool IsRunning() const { return m_bRunning; }

private:
    jackpeers::CPrivateServer m_server;
    bool m_bRunning = false;
};
