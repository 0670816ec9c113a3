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
    if (!in->Start())
        return false;
    m_pIn = std::move(in);

    const std::string& outName = m_strOutputName;
    const int outPosition = devices.FindByName(outName.c_str(), false);
    if (outPosition >= 0) {
        try {
            m_pOut =
                std::make_unique<CMidiOutPort>(devices.GetOutput(outPosition).deviceId, receiver);
            m_pOut->SetLiveEcho(true);
        } catch (const CMidiOpenError&) {
            m_pOut.reset(); // recording goes on without echo
        }
    }
    return true;
}

void CMidiConnection::Close() {
    m_pIn.reset();
    m_pOut.reset();
}

void CMidiConnection::SendShort(uint32_t message) {
    if (m_pOut)
        m_pOut->ShortMsg(message);
}

void CMidiConnection::SetDefaultReceiver(QObject* receiver) {
    m_pDefaultReceiver = receiver;
}
