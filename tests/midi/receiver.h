// A receiving object of the tests for incoming MIDI data.
#pragma once

#include "midi/midiinreceiver.h"

#include <QObject>
#include <QThread>

#include <vector>

class CTestReceiver : public QObject {
public:
    /// This object as the receiver of a port or a connection.
    MidiInReceiver Receiver() {
        return {this, [this](quint32 message) { OnMidiInData(message); }};
    }
    void OnMidiInData(quint32 message) {
        messages.push_back(message);
        if (threads.empty() || threads.back() != QThread::currentThread())
            threads.push_back(QThread::currentThread());
    }
    std::vector<quint32> messages;
    std::vector<QThread*> threads;
};
