// The program's JACK client: opened on first use and kept for listing, connecting and every port
// (the registry of our port names), and opened again when its server has gone and another
// answers. Never starts a server.
#pragma once

#include "jacksession.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CJackClient {
public:
    static CJackClient& Instance();
    ~CJackClient();

    /// The session on the server that answers now; null when none does.
    JackSession Session();

    /// Full names of the MIDI ports with these flags, in the server's order.
    std::vector<std::string> GetPorts(unsigned long flags);
    bool PortExists(const std::string& name);

    /// Puts a port of ours into the process callback's table: for an output the idle one with
    /// the lowest name when there is one, else a new port named base, base-2, base-3... (the
    /// lowest free); null when that fails.
    std::unique_ptr<CJackPort> AddPort(const JackSession& session, bool output);
    /// Takes a port out of the process callback. An input is unregistered; an output is only
    /// disconnected and kept registered, idle, for the next output device: PipeWire's JACK
    /// layer delivers nothing to a peer that has started again under the same port name once
    /// the port sending to it was unregistered and registered anew. On a server that has gone
    /// nothing is called and the port is left as it is.
    void RemovePort(const JackSession& session, std::unique_ptr<CJackPort>& port);
    /// Unregisters the idle outputs (another system's device is in use now); never opens a
    /// client.
    void ReleaseIdleOutputs();

    /// Connects two ports by name; false when either is missing. A peer that has just
    /// registered its port may not be active yet, and the server refuses connections to it
    /// until it is: such a connection is tried again for a short while. A new connection
    /// carries data only from the server's next cycles on, so the call returns after two of
    /// them and the first messages sent through it are not lost.
    bool Connect(const JackSession& session, const std::string& source,
                 const std::string& destination);

private:
    enum class ConnectResult { Connected, PortMissing, Refused };

    CJackClient() = default;
    ConnectResult TryConnect(const JackSession& session, const std::string& source,
                             const std::string& destination);
    JackSession Current();
    static JackSession Open();
    /// Activates the session's client for a port entering its table; false when JACK refuses.
    static bool Activate(const JackSession& session);
    /// Deactivates the client once its table is empty: an idle program costs the server and
    /// the processor nothing.
    static void DeactivateWhenUnused(const JackSession& session);

    std::mutex m_mutex;
    JackSession m_pSession;
    std::vector<JackSession> m_dead; // their clients may still call back; never freed
};
