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

bool CMidiConnection::Open(QObject* receiver) {
    if (m_pIn)
        return true;
    if (!receiver)
        receiver = m_pDefaultReceiver.data();

    const std::string& inName = m_strInputName;
    // No device has an empty name: a start-up without an input device needs no listing.
    if (inName.empty())
        return false;
    CMidiDeviceList devices;
    const int inPosition = devices.FindByName(inName.c_str(), true);
    if (inPosition < 0)
        return false;
    auto in = std::make_unique<CMidiInPort>(devices.GetInput(inPosition).deviceId, receiver);
    if (!in->IsOpen())
        return false;

    const std::string& outName = m_strOutputName;
    const int outPosition = devices.FindByName(outName.c_str(), false);
    std::unique_ptr<CMidiOutPort> out;
    if (outPosition >= 0) {
        try {
            out = std::make_unique<CMidiOutPort>(devices.GetOutput(outPosition).deviceId, receiver);
            out->SetLiveEcho(true);
        } catch (const CMidiOpenError&) {
            out.reset(); // recording goes on without echo
        }
    }
    // Before Start, so that every message is echoed by exactly one of the two ways.
    m_bThru = out && in->SetThru(out.get());
    if (!in->Start()) {
        in->SetThru(nullptr);
        return false;
    }
    m_pIn = std::move(in);
    m_pOut = std::move(out);
    return true;
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

void CMidiConnection::SetDefaultReceiver(QObject* receiver) {
    m_pDefaultReceiver = receiver;
}
