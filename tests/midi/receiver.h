// A receiving object of the tests for incoming MIDI data.
#pragma once

#include <QObject>
#include <QThread>

#include <vector>

class CTestReceiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void OnMidiInData(quint32 message) {
        messages.push_back(message);
        if (threads.empty() || threads.back() != QThread::currentThread())
            threads.push_back(QThread::currentThread());
    }
    std::vector<quint32> messages;
    std::vector<QThread*> threads;
};
