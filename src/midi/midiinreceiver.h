// Where a recording's incoming messages go: a function of the receiving object, called on the
// object's own thread.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

/// handler takes each incoming short message (packed, status in the low byte) as a queued call
/// on context's thread, in arrival order; nothing is called once context is gone. Without a
/// context or a handler the messages go nowhere. lost (optional) is called the same way when
/// messages may have been lost on their way in.
struct MidiInReceiver {
    QPointer<QObject> context;
    std::function<void(quint32 message)> handler;
    std::function<void()> lost = {};

    bool IsSet() const { return context && handler; }
};
