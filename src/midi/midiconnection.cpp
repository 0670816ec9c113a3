#include "midiconnection.h"

#include "mididevicelist.h"
#include "midiinport.h"
#include "midioutport.h"

#include <utility>

CMidiConnection::CMidiConnection() = default;

CMidiConnection::~CMidiConnection() {
    Close();
}

void CMidiConnection::SetDeviceNames(std::string inputName, std::string outputName) {
    m_strInputName = std::move(inputName);
    m_strOutputName = std::move(outputName);
}

void CMidiConnection::SetReceiver(MidiInReceiver receiver) {
    m_receiver = std::move(receiver);
}

MidiStatus CMidiConnection::Open() {
    if (m_pIn)
        return kMidiOk;

    // No device has an empty name: a start-up without an input device needs no listing.
    if (m_strInputName.empty())
        return kMidiErrBadDeviceId;
    CMidiDeviceList devices;
    const int inPosition = devices.FindByName(m_strInputName.c_str(), true);
    if (inPosition < 0)
        return kMidiErrBadDeviceId;
    auto in = std::make_unique<CMidiInPort>();
    if (const MidiStatus opened = in->Open(devices.GetInput(inPosition).deviceId, m_receiver);
        !opened)
        return opened;

    const int outPosition = devices.FindByName(m_strOutputName.c_str(), false);
    std::unique_ptr<CMidiOutPort> out;
    if (outPosition >= 0) {
        out = std::make_unique<CMidiOutPort>();
        if (out->Open(devices.GetOutput(outPosition).deviceId))
            out->SetLiveEcho(true);
        else
            out.reset(); // recording goes on without echo
    }
    // Before Start, so that every message is echoed by exactly one of the two ways.
    m_bThru = out && in->SetThru(out.get());
    if (const MidiStatus started = in->Start(); !started) {
        in->SetThru(nullptr);
        m_bThru = false;
        return started;
    }
    m_pIn = std::move(in);
    m_pOut = std::move(out);
    return kMidiOk;
}

void CMidiConnection::Close() {
    if (m_pIn)
        m_pIn->SetThru(nullptr); // the output must not go while the input echoes to it
    m_pIn.reset();
    m_pOut.reset();
    m_bThru = false;
}

void CMidiConnection::SendShort(uint32_t message) {
    if (m_pOut && !m_bThru)
        m_pOut->ShortMsg(message);
}
