#include "fakemidiservice.h"
#include "midi/midiconnection.h"
#include "receiver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <memory>
#include <thread>
#include <vector>

namespace {

class MidiConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        service.inputs = {{"Keys"}, {"Pads"}};
        service.outputs = {{"Synth"}, {"Echo"}};
    }
    void Name(const char* in, const char* out) { connection.SetDeviceNames(in, out); }

    int argc = 1;
    char arg0[5] = "test";
    char* argv[1] = {arg0};
    QCoreApplication app{argc, argv};
    CFakeMidiService service;
    CMidiConnection connection;
};

} // namespace

TEST_F(MidiConnectionTest, EmptyOrUnknownInputNameFailsAndOpensNothing) {
    Name("", "Synth");
    EXPECT_FALSE(connection.Open());
    EXPECT_FALSE(connection.IsOpen());
    Name("keys", "Synth"); // names are case-sensitive
    EXPECT_FALSE(connection.Open());
    EXPECT_EQ(service.Count(FakeOp::Open, false), 0);
    EXPECT_EQ(service.Count(FakeOp::Open, true), 0);
}

TEST_F(MidiConnectionTest, InputThatCannotBeOpenedFails) {
    service.inputs[1].openResult = kMidiErrAllocated;
    Name("Pads", "Synth");
    EXPECT_FALSE(connection.Open());
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(service.Count(FakeOp::Open, false), 0);
}

TEST_F(MidiConnectionTest, WithoutOutputItOpensAndEchoesNothing) {
    Name("Keys", "");
    EXPECT_TRUE(connection.Open());
    EXPECT_TRUE(connection.IsOpen());
    connection.SendShort(0x643C90);
    EXPECT_EQ(service.Count(FakeOp::Send, false), 0);
    service.outputs[1].openResult = kMidiErrAllocated;
    connection.Close();
    Name("Keys", "Echo"); // an output that fails to open does not fail the connection
    EXPECT_TRUE(connection.Open());
    connection.SendShort(0x643C90);
    EXPECT_EQ(service.Count(FakeOp::Send, false), 0);
}

TEST_F(MidiConnectionTest, OpenTwiceOpensOnceAndCloseResetsBothDevices) {
    Name("Pads", "Echo");
    EXPECT_TRUE(connection.Open());
    Name("Keys", "Synth"); // a new name counts only after Close and Open
    EXPECT_TRUE(connection.Open());
    EXPECT_EQ(service.Count(FakeOp::Open, true), 1);
    EXPECT_EQ(service.Count(FakeOp::Open, false), 1);
    connection.SendShort(0x403C80);
    EXPECT_EQ(service.Sent(1), std::vector<uint32_t>{0x403C80});
    service.ClearOps();
    connection.Close();
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(service.Count(FakeOp::Reset, true), 1);
    EXPECT_EQ(service.Count(FakeOp::Reset, false), 1);
    EXPECT_EQ(service.Count(FakeOp::Close, true), 1);
    EXPECT_EQ(service.Count(FakeOp::Close, false), 1);
    const auto ops = service.Ops();
    EXPECT_LT(std::find_if(ops.begin(), ops.end(),
                           [](const FakeOp& op) { return op.kind == FakeOp::Reset && !op.input; }),
              std::find_if(ops.begin(), ops.end(),
                           [](const FakeOp& op) { return op.kind == FakeOp::Close && !op.input; }));
    service.ClearOps();
    connection.Close();
    EXPECT_TRUE(service.Ops().empty());
    connection.SendShort(0x90);
    EXPECT_TRUE(service.Ops().empty());
}

TEST_F(MidiConnectionTest, DataReachesTheReceiverAcrossReopensUntilAnotherIsSet) {
    CTestReceiver view;
    CTestReceiver other;
    Name("Keys", "Synth");
    connection.SetReceiver(view.Receiver());
    ASSERT_TRUE(connection.Open());
    service.Inject(0, 0x643C90);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.messages, std::vector<quint32>{0x643C90});

    // After a change of settings the connection reopens with the same receiver: the view.
    connection.Close();
    Name("Pads", "Synth");
    ASSERT_TRUE(connection.Open());
    service.Inject(1, 0x7F4591);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.messages, (std::vector<quint32>{0x643C90, 0x7F4591}));

    connection.SetReceiver(other.Receiver());
    connection.Close();
    ASSERT_TRUE(connection.Open());
    service.Inject(1, 0x80);
    QCoreApplication::processEvents();
    EXPECT_EQ(other.messages, std::vector<quint32>{0x80});
    EXPECT_EQ(view.messages.size(), 2u);
}

TEST_F(MidiConnectionTest, RecordingReachesTheHandlerOnItsObjectsThreadAndStopsWhenItIsGone) {
    auto view = std::make_unique<QObject>();
    std::vector<quint32> entered;
    std::vector<QThread*> threads;
    connection.SetReceiver({view.get(), [&](quint32 message) {
                                entered.push_back(message);
                                threads.push_back(QThread::currentThread());
                            }});
    Name("Keys", "Synth");
    ASSERT_TRUE(connection.Open());
    std::thread device([this] {
        for (uint32_t message : {0x643C90u, 0x003C80u, 0x7F4591u})
            service.Inject(0, message);
    });
    device.join();
    EXPECT_TRUE(entered.empty()); // queued, not called on the device's thread
    QCoreApplication::processEvents();
    EXPECT_EQ(entered, (std::vector<quint32>{0x643C90, 0x003C80, 0x7F4591}));
    EXPECT_EQ(threads, std::vector<QThread*>(3, QThread::currentThread()));

    // The receiving object goes while recording: what was queued for it and what comes later
    // is dropped.
    service.Inject(0, 0x403C90);
    view.reset();
    service.Inject(0, 0x403C80);
    QCoreApplication::processEvents();
    EXPECT_EQ(entered.size(), 3u);
}
