#include "jackclient.h"

#include "midi/midinames.h"

#include <algorithm>
#include <cerrno>
#include <thread>

using namespace std::chrono_literals;

CJackClient& CJackClient::Instance() {
    static CJackClient client;
    return client;
}

CJackClient::~CJackClient() {
    if (m_pSession && m_pSession->IsAlive())
        Jack().jack_client_close(m_pSession->Client());
}

JackSession CJackClient::Session() {
    std::lock_guard lock(m_mutex);
    return Current();
}

std::vector<std::string> CJackClient::GetPorts(unsigned long flags) {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> names;
    const JackSession session = Current();
    if (!session)
        return names;
    if (const char** ports =
            Jack().jack_get_ports(session->Client(), nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
        for (int i = 0; ports[i]; ++i)
            names.emplace_back(ports[i]);
        Jack().jack_free(ports);
    }
    return names;
}

bool CJackClient::PortExists(const std::string& name) {
    std::lock_guard lock(m_mutex);
    const JackSession session = Current();
    return session && Jack().jack_port_by_name(session->Client(), name.c_str()) != nullptr;
}

std::unique_ptr<CJackPort> CJackClient::AddPort(const JackSession& session, bool output) {
    std::lock_guard lock(m_mutex);
    if (!session->IsAlive())
        return nullptr;
    auto& idle = session->m_idleOutputs;
    if (output && !idle.empty()) {
        const auto lowest = std::min_element(idle.begin(), idle.end(), [](auto& a, auto& b) {
            const std::string &x = a->ShortName(), &y = b->ShortName();
            return x.size() != y.size() ? x.size() < y.size() : x < y;
        });
        std::unique_ptr<CJackPort> port = std::move(*lowest);
        idle.erase(lowest);
        port->connections.store(-1);
        if (session->Insert(port.get())) {
            if (Activate(session))
                return port;
            session->Remove(port.get());
        }
        idle.push_back(std::move(port));
        return nullptr;
    }
    const std::string base = output ? "out" : "in";
    std::string name = base;
    for (int n = 2; session->m_usedNames.count(name); ++n)
        name = base + "-" + std::to_string(n);
    jack_port_t* handle =
        Jack().jack_port_register(session->Client(), name.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                  output ? JackPortIsOutput : JackPortIsInput, 0);
    if (!handle)
        return nullptr;
    auto port = std::make_unique<CJackPort>(handle, output, name);
    if (!port->IsValid() || !session->Insert(port.get())) {
        Jack().jack_port_unregister(session->Client(), handle);
        return nullptr;
    }
    if (!Activate(session)) {
        session->Remove(port.get());
        Jack().jack_port_unregister(session->Client(), handle);
        return nullptr;
    }
    session->m_usedNames.insert(name);
    return port;
}

void CJackClient::RemovePort(const JackSession& session, std::unique_ptr<CJackPort>& port) {
    if (!port)
        return;
    const bool unused = session->Remove(port.get());
    std::lock_guard lock(m_mutex);
    if (!unused || !session->IsAlive()) {
        // A callback may still hold it, or its server is gone: kept with the session.
        session->m_retired.push_back(std::move(port));
        return;
    }
    if (port->IsOutput()) {
        // Out of the table nothing reads the ring any more: what was left in it never goes out.
        Jack().jack_port_disconnect(session->Client(), port->Port());
        Jack().jack_ringbuffer_reset(port->Ring());
        session->m_idleOutputs.push_back(std::move(port));
    } else {
        Jack().jack_port_unregister(session->Client(), port->Port());
        session->m_usedNames.erase(port->ShortName());
        port.reset();
    }
    DeactivateWhenUnused(session);
}

bool CJackClient::Activate(const JackSession& session) {
    if (session->m_bActive)
        return true;
    if (Jack().jack_activate(session->Client()) != 0)
        return false;
    session->m_bActive = true;
    // The frames the output has reached are known again from the first cycle on: stamps
    // taken before it would count the time the client slept.
    session->WaitForCycles(1, 500ms);
    return true;
}

void CJackClient::DeactivateWhenUnused(const JackSession& session) {
    if (session->m_bActive && session->IsTableEmpty() &&
        Jack().jack_deactivate(session->Client()) == 0)
        session->m_bActive = false;
}

void CJackClient::ReleaseIdleOutputs() {
    std::lock_guard lock(m_mutex);
    if (!m_pSession || !m_pSession->IsAlive())
        return;
    for (auto& port : m_pSession->m_idleOutputs) {
        Jack().jack_port_unregister(m_pSession->Client(), port->Port());
        m_pSession->m_usedNames.erase(port->ShortName());
    }
    m_pSession->m_idleOutputs.clear();
}

bool CJackClient::Connect(const JackSession& session, const std::string& source,
                          const std::string& destination) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        switch (TryConnect(session, source, destination)) {
        case ConnectResult::Connected:
            session->WaitForCycles(2, 500ms);
            return true;
        case ConnectResult::PortMissing:
            return false;
        case ConnectResult::Refused:
            std::this_thread::sleep_for(10ms);
            break;
        }
    }
    return false;
}

CJackClient::ConnectResult CJackClient::TryConnect(const JackSession& session,
                                                   const std::string& source,
                                                   const std::string& destination) {
    std::lock_guard lock(m_mutex);
    if (!session->IsAlive())
        return ConnectResult::PortMissing;
    jack_client_t* client = session->Client();
    const int result = Jack().jack_connect(client, source.c_str(), destination.c_str());
    if (result == 0 || result == EEXIST)
        return ConnectResult::Connected;
    if (!Jack().jack_port_by_name(client, source.c_str()) ||
        !Jack().jack_port_by_name(client, destination.c_str()))
        return ConnectResult::PortMissing;
    return ConnectResult::Refused; // the peer's client is not active yet
}

JackSession CJackClient::Current() {
    if (m_pSession && !m_pSession->IsAlive())
        m_dead.push_back(std::move(m_pSession));
    if (!m_pSession)
        m_pSession = Open();
    return m_pSession;
}

JackSession CJackClient::Open() {
    if (!LoadJack())
        return nullptr; // no JACK installed: no server either
    jack_client_t* client = nullptr;
    for (int n = 1; n <= 16 && !client; ++n) {
        std::string name = kOwnClientName;
        if (n > 1) {
            name += '-';
            name += std::to_string(n);
        }
        jack_status_t status{};
        // JackNoStartServer: the program never starts a server, whatever the environment says.
        client = Jack().jack_client_open(
            name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName), &status);
        // JACK 1 says a taken name is not unique; JACK 2 answers only Failure|ServerError. A
        // server that cannot be reached or talked to gives no other name either.
        const bool nameTaken = (status & (JackNameNotUnique | JackServerError)) &&
                               !(status & (JackServerFailed | JackShmFailure | JackVersionError));
        if (!client && !nameTaken)
            break;
    }
    if (!client)
        return nullptr;
    auto session = std::make_shared<CJackSession>(client);
    Jack().jack_on_info_shutdown(client, &CJackSession::OnShutdown, session.get());
    // Activated when a port opens, not for reading the lists of ports.
    if (Jack().jack_set_process_callback(client, &CJackSession::Process, session.get()) != 0 ||
        Jack().jack_set_xrun_callback(client, &CJackSession::OnXrun, session.get()) != 0) {
        Jack().jack_client_close(client);
        return nullptr;
    }
    return session;
}
