// The ALSA sequencer's module: found from the build, and its devices reachable through the
// interface the program holds it by.
#include "midi/backends/alsamodule.h"
#include "midi/midiresult.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(AlsaModule, LoadsAndAnswersThroughItsInterface) {
    IAlsaSequencer* sequencer = LoadAlsaSequencer();
    ASSERT_NE(sequencer, nullptr) << "kesv-alsa.so was not found or does not load";
    EXPECT_EQ(LoadAlsaSequencer(), sequencer) << "the module is opened once";
    if (access("/dev/snd/seq", R_OK | W_OK) == 0)
        GTEST_SKIP() << "this machine has a sequencer: what it lists is its own";
    std::vector<std::string> inputs{"stale"}, outputs;
    sequencer->ListPorts(inputs, outputs);
    EXPECT_TRUE(inputs.empty() && outputs.empty());
    std::unique_ptr<IMidiOutDevice> out;
    EXPECT_EQ(sequencer->OpenOutput("Midi Through:Midi Through Port-0", out), kMidiErrNoDriver);
    EXPECT_EQ(out, nullptr);
    std::unique_ptr<IMidiInDevice> in;
    EXPECT_EQ(sequencer->OpenInput("Midi Through:Midi Through Port-0", {}, in), kMidiErrNoDriver);
    EXPECT_EQ(in, nullptr);
}
