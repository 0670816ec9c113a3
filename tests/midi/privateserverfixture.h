// Tests with a JACK server of their own: each test starts a private server under a name of its
// own (skipped where no jackd can be started) and removes the files it wrote at its end.
#pragma once

#include "jackpeers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

template <typename Base> class CPrivateServerFixture : public Base {
protected:
    explicit CPrivateServerFixture(int period = 256) : m_server(period) {}

    void SetUp() override {
        setenv("JACK_NO_START_SERVER", "1", 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        if (!m_server.Start())
            GTEST_SKIP() << "no private JACK server could be started (is jackd installed?)";
        m_strTag = std::to_string(getpid());
    }
    void TearDown() override {
        for (const auto& file : m_files)
            std::remove(file.c_str());
    }
    /// A file of this test, removed at its end.
    std::string File(const char* name) {
        m_files.push_back(::testing::TempDir() + name + m_strTag + ".txt");
        return m_files.back();
    }

    jackpeers::CPrivateServer m_server;
    std::string m_strTag; // in client names, so that tests running side by side do not meet
    std::vector<std::string> m_files;
};
