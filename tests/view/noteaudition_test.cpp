// Entered notes sound on a port that opens with the first note and closes once notes stop
// coming, so that a program left alone holds no device (and its JACK client sleeps).
#include "fakemidiservice.h"
#include "view/noteaudition.h"

#include <QTest>

#include <algorithm>

namespace {

const char* const kDevice = "Fake Out";

} // namespace

class NoteAuditionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void port_closesWhenIdleAndOpensAgainForTheNextNote() {
        CFakeMidiService service;
        service.outputs.push_back({kDevice});
        CNoteAudition audition;
        audition.SetIdleClose(200);
        audition.Play(kDevice, 60, 20);
        audition.Play(kDevice, 62, 20); // within the wait: the same port
        QVERIFY(audition.IsOpen());
        QCOMPARE(service.Count(FakeOp::Open, false), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!audition.IsOpen(), 10000);
        QCOMPARE(service.Count(FakeOp::Close, false), 1);
        audition.Play(kDevice, 64, 20);
        QVERIFY(audition.IsOpen());
        QCOMPARE(service.Count(FakeOp::Open, false), 2);
    }

    // A note that outlasts the wait is released before its port closes.
    void longNote_isReleasedBeforeThePortCloses() {
        CFakeMidiService service;
        service.outputs.push_back({kDevice});
        CNoteAudition audition;
        audition.SetIdleClose(10);
        audition.Play(kDevice, 60, 300);
        QTRY_VERIFY_WITH_TIMEOUT(!audition.IsOpen(), 10000);
        const std::vector<FakeOp> ops = service.Ops();
        const auto close = std::find_if(ops.begin(), ops.end(),
                                        [](const FakeOp& op) { return op.kind == FakeOp::Close; });
        const auto noteOff = std::find_if(ops.begin(), ops.end(), [](const FakeOp& op) {
            return op.kind == FakeOp::Send && (op.message & 0xF0) == 0x80;
        });
        QVERIFY(close != ops.end());
        QVERIFY(noteOff < close);
    }
};

QTEST_MAIN(NoteAuditionTest)

#include "noteaudition_test.moc"
