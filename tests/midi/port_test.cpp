#include "fakemidiservice.h"
#include "midi/midiinport.h"
#include "midi/midioutport.h"
#include "receiver.h"
#include "song/musictime.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstring>
#include <thread>

namespace {

struct Notified {
    int opens = 0;
    int closes = 0;
    MidiHdr* done = nullptr;
};

class CCountingOutPort : public CMidiOutPort {
public:
    // Opened after construction: during the base constructor no handler of ours exists yet.
    CCountingOutPort(int id, MidiOutProc proc, Notified& n) : m(n) { Open(id, true, proc); }
    ~CCountingOutPort() override { Close(); }

protected:
    void OnOpen() override { ++m.opens; }
    void OnClose() override { ++m.closes; }
    void OnDone(MidiHdr* header) override { m.done = header; }

private:
    Notified& m;
};

struct UserCall {
    void* handle;
    uint32_t message;
    uintptr_t instance, p1, p2;
};
std::vector<UserCall> g_userCalls;
void RecordUserCall(void* handle, uint32_t message, uintptr_t instance, uintptr_t p1,
                    uintptr_t p2) {
    g_userCalls.push_back({handle, message, instance, p1, p2});
}

} // namespace

TEST(MidiOutPort, ClosedPortAnswersInvalidHandleWithText) {
    CFakeMidiService service;
    CMidiOutPort port;
    EXPECT_FALSE(port.ShortMsg(0x403C90));
    EXPECT_EQ(port.GetLastResult(), kMidiErrInvalidHandle);
    EXPECT_FALSE(port.GetErrorText().empty());
    EXPECT_FALSE(port.Reset());
    EXPECT_FALSE(port.Close());
    EXPECT_EQ(port.GetID(), -1);
    EXPECT_TRUE(service.Ops().empty());
}

TEST(MidiOutPort, FailedOpenThrowsAndLeavesNothingToClose) {
    CFakeMidiService service;
    service.outputs = {{"Busy", true, 1, 1, 1, kMidiErrAllocated}};
    EXPECT_THROW(CMidiOutPort(0, true, nullptr), CMidiOpenError);
    EXPECT_THROW(CMidiOutPort(5, nullptr), CMidiOpenError);
    CMidiOutPort port;
    EXPECT_FALSE(port.Open(0, false, nullptr));
    EXPECT_EQ(port.GetLastResult(), kMidiErrAllocated);
    EXPECT_NE(port.GetErrorText(), GetMidiResultText(kMidiErrInvalidHandle));
    EXPECT_TRUE(service.Ops().empty());
}

TEST(MidiOutPort, SendsAndDestructionResetsBeforeClosing) {
    CFakeMidiService service;
    service.outputs = {{"Out"}};
    {
        CMidiOutPort port(0, nullptr);
        EXPECT_TRUE(port.ShortMsg(0x7F3C90));
        EXPECT_EQ(port.GetID(), 0);
        MidiOutCaps caps{};
        EXPECT_TRUE(port.GetDevCaps(caps));
        EXPECT_STREQ(caps.szPname, "Out");
    }
    const auto ops = service.Ops();
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[0].kind, FakeOp::Open);
    EXPECT_EQ(ops[1].kind, FakeOp::Send);
    EXPECT_EQ(ops[1].message, 0x7F3C90u);
    EXPECT_EQ(ops[2].kind, FakeOp::Reset);
    EXPECT_EQ(ops[3].kind, FakeOp::Close);
}

TEST(MidiOutPort, OperationsWithoutMeaningSayNotSupported) {
    CFakeMidiService service;
    service.outputs = {{"Out"}};
    CMidiOutPort port(0, false, nullptr);
    MidiHdr header{};
    EXPECT_FALSE(port.LongMsg(&header));
    EXPECT_EQ(port.GetLastResult(), kMidiErrNotSupported);
    EXPECT_FALSE(port.PrepareHeader(&header));
    EXPECT_FALSE(port.SetVolume(0xFFFF));
    EXPECT_EQ(port.GetVolume(), 0u);
    EXPECT_EQ(port.GetLastResult(), kMidiErrNotSupported);
    EXPECT_FALSE(port.CachePatches(0, nullptr, 0));
    EXPECT_FALSE(port.Message(0x800, 0, 0));
    EXPECT_TRUE(port.ShortMsg(0x90)); // the port itself still works
}

TEST(MidiOutPort, CallbackModeDispatchesNotifications) {
    CFakeMidiService service;
    service.outputs = {{"Out"}};
    g_userCalls.clear();
    Notified n;
    {
        CCountingOutPort port(0, &RecordUserCall, n);
        EXPECT_EQ(n.opens, 1);
        MidiHdr header{};
        service.NotifyOutput(0, kMomDone, reinterpret_cast<uintptr_t>(&header), 0);
        EXPECT_EQ(n.done, &header);
        service.NotifyOutput(0, 0x3CC, 7, 9);
        ASSERT_EQ(g_userCalls.size(), 1u);
        EXPECT_EQ(g_userCalls[0].message, 0x3CCu);
        EXPECT_EQ(g_userCalls[0].instance, reinterpret_cast<uintptr_t>(&port));
        EXPECT_EQ(g_userCalls[0].p1, 7u);
        EXPECT_EQ(g_userCalls[0].p2, 9u);
    }
    EXPECT_EQ(n.closes, 1);
    EXPECT_EQ(g_userCalls.size(), 1u); // open and close went to the handlers only
}

TEST(MidiLongMsgBuffer, EmptyDataLeavesNoBufferAndDataIsCopied) {
    const char bytes[] = {char(0xF0), 0x7E, 0x7F, 0x09, 0x01, char(0xF7)};
    CMidiLongMsgBuffer buffer(bytes, sizeof bytes);
    ASSERT_NE(buffer.GetHeader()->lpData, nullptr);
    EXPECT_EQ(buffer.GetHeader()->dwBufferLength, sizeof bytes);
    EXPECT_EQ(std::memcmp(buffer.GetHeader()->lpData, bytes, sizeof bytes), 0);
    EXPECT_TRUE(buffer.SetData(nullptr, 4));
    EXPECT_EQ(buffer.GetHeader()->lpData[3], 0); // zero-filled
    EXPECT_TRUE(buffer.SetData(bytes, 0));
    EXPECT_EQ(buffer.GetHeader()->lpData, nullptr);
    EXPECT_EQ(buffer.GetHeader()->dwBufferLength, 0u);
}

namespace {
class CRecordingInPort : public CMidiInPort {
public:
    CRecordingInPort(int id, MidiInProc proc) : CMidiInPort(id, true, proc) {}
    ~CRecordingInPort() override { Close(); }
    std::vector<std::pair<uintptr_t, uintptr_t>> data;
    int errors = 0;

protected:
    void OnData(uintptr_t p1, uintptr_t p2) override { data.emplace_back(p1, p2); }
    void OnError(uintptr_t, uintptr_t) override { ++errors; }
};
} // namespace

TEST(MidiInPort, CallbackModeDeliversDataOnlyWhileStarted) {
    CFakeMidiService service;
    service.inputs = {{"Keys"}};
    g_userCalls.clear();
    CRecordingInPort port(0, &RecordUserCall);
    service.Inject(0, 0x11);
    EXPECT_TRUE(port.data.empty());
    EXPECT_TRUE(port.Start());
    service.Inject(0, 0x643C90);
    service.Notify(0, kMimError, 0xF4, 0);
    service.Notify(0, 0x3D0, 1, 2);
    EXPECT_TRUE(port.Stop());
    service.Inject(0, 0x22);
    ASSERT_EQ(port.data.size(), 1u);
    EXPECT_EQ(port.data[0].first, 0x643C90u);
    EXPECT_EQ(port.errors, 1);
    ASSERT_EQ(g_userCalls.size(), 1u);
    EXPECT_EQ(g_userCalls[0].message, 0x3D0u);
}

TEST(MidiInPort, FailedOpenDoesNotThrowAndStartFails) {
    CFakeMidiService service;
    CMidiInPort port(3, nullptr);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.Start());
    EXPECT_EQ(port.GetLastResult(), kMidiErrInvalidHandle);
    EXPECT_FALSE(port.AddBuffer(nullptr));
}

TEST(MidiInPort, WindowModeQueuesDataToTheReceiverInOrder) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    CFakeMidiService service;
    service.inputs = {{"Keys"}};
    CTestReceiver receiver;
    {
        CMidiInPort port(0, &receiver);
        ASSERT_TRUE(port.Start());
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
        service.Inject(0, 0x11);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.messages.size(), 200u); // closing dropped what was still queued
}
