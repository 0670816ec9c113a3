#include "fakemidiservice.h"
#include "midi/midiinport.h"
#include "midi/midioutport.h"
#include "receiver.h"
#include "song/musictime.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>

TEST(MidiOutPort, ClosedPortAnswersInvalidHandleWithText) {
    CFakeMidiService service;
    CMidiOutPort port;
    const MidiStatus sent = port.ShortMsg(0x403C90);
    EXPECT_EQ(sent, kMidiErrInvalidHandle);
    EXPECT_FALSE(sent);
    EXPECT_FALSE(sent.Text().empty());
    EXPECT_EQ(port.Reset(), kMidiErrInvalidHandle);
    EXPECT_EQ(port.Close(), kMidiErrInvalidHandle);
    EXPECT_TRUE(service.Ops().empty());
}

TEST(MidiOutPort, FailedOpenAnswersItsCodeAndLeavesNothingToClose) {
    CFakeMidiService service;
    service.outputs = {{"Busy", true, 1, 1, 1, kMidiErrAllocated}};
    CMidiOutPort port;
    const MidiStatus opened = port.Open(0);
    EXPECT_EQ(opened, kMidiErrAllocated);
    EXPECT_NE(opened.Text(), GetMidiResultText(kMidiErrInvalidHandle));
    EXPECT_EQ(port.Open(5), kMidiErrBadDeviceId);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(service.Ops().empty());
}

TEST(MidiOutPort, SendsAndDestructionResetsBeforeClosing) {
    CFakeMidiService service;
    service.outputs = {{"Out"}};
    {
        CMidiOutPort port;
        ASSERT_EQ(port.Open(0), kMidiOk);
        EXPECT_EQ(port.ShortMsg(0x7F3C90), kMidiOk);
    }
    const auto ops = service.Ops();
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[0].kind, FakeOp::Open);
    EXPECT_EQ(ops[1].kind, FakeOp::Send);
    EXPECT_EQ(ops[1].message, 0x7F3C90u);
    EXPECT_EQ(ops[2].kind, FakeOp::Reset);
    EXPECT_EQ(ops[3].kind, FakeOp::Close);
}

TEST(MidiInPort, FailedOpenLeavesThePortClosedAndStartFails) {
    CFakeMidiService service;
    CMidiInPort port;
    EXPECT_EQ(port.Open(3, {}), kMidiErrBadDeviceId);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Start(), kMidiErrInvalidHandle);
}

TEST(MidiInPort, DataReachesTheReceiverQueuedInOrderOnlyWhileStarted) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    CFakeMidiService service;
    service.inputs = {{"Keys"}};
    CTestReceiver receiver;
    {
        CMidiInPort port;
        ASSERT_EQ(port.Open(0, receiver.Receiver()), kMidiOk);
        service.Inject(0, 0x11); // before Start
        ASSERT_EQ(port.Start(), kMidiOk);
        std::thread sender([&] {
            for (uint32_t i = 0; i < 200; ++i)
                service.Inject(0, PackShortMessage(0x90, uint8_t(i & 0x7F), 1 + uint8_t(i / 128)));
        });
        sender.join();
        EXPECT_TRUE(receiver.messages.empty()); // queued, not called from the device's thread
        QCoreApplication::processEvents();
        ASSERT_EQ(receiver.messages.size(), 200u);
        for (uint32_t i = 0; i < 200; ++i)
            EXPECT_EQ(receiver.messages[i],
                      PackShortMessage(0x90, uint8_t(i & 0x7F), 1 + uint8_t(i / 128)));
        EXPECT_TRUE(receiver.threads.size() == 1 &&
                    receiver.threads[0] == QThread::currentThread());
        ASSERT_EQ(port.Stop(), kMidiOk);
        service.Inject(0, 0x22); // after Stop
        QCoreApplication::processEvents();
        EXPECT_EQ(receiver.messages.size(), 200u);
        ASSERT_EQ(port.Start(), kMidiOk);
        service.Inject(0, 0x33);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.messages.size(), 200u); // closing dropped what was still queued
}
