#pragma once
// Puts the modem simulator on the wire: its AT port on TCP, a pseudo-terminal
// or a socket pair (the in-process modem), and its control commands on a Unix
// socket or a TCP port of their own, so the AT port stays pure AT. One
// thread serves everything; the newest AT connection replaces the previous
// one, as on a single serial line. Also the client side of the control port.

#include "platform/modem/modem_sim.h"

#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace telvara::platform::modem {

class SimServer {
  public:
    explicit SimServer(std::shared_ptr<ModemSimulator> simulator);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Listening sockets; port 0 takes a free port. The bound port, or -1
    // with `error` filled.
    int listen_at(const std::string& host, int port, std::string& error);
    int listen_control(const std::string& host, int port, std::string& error);
    // A Unix socket (mode 0600) for the control commands; a stale socket file
    // nobody answers on is replaced, a live one is left alone (false).
    bool listen_control_unix(const std::string& path, std::string& error);
    // The AT port on a pseudo-terminal; its path, or empty with `error`.
    std::string open_pty(std::string& error);
    // A new AT connection through a socket pair; the caller owns the fd.
    int connect_pair();

    void start();
    void stop();

    ModemSimulator& simulator() { return *m_simulator; }

  private:
    struct State;
    std::shared_ptr<ModemSimulator> m_simulator;
    std::unique_ptr<State> m_state;
};

// The control socket of the in-process simulator in the runtime folder:
// "<runtime>/telvara-modem.sock"; empty when there is no safe folder.
std::string default_sim_control_socket();

// Sends one control command to a simulator: `to` is a socket path (with a
// '/') or "HOST:PORT". The reply's lines, the last one "OK" or "ERROR ...";
// false with `error` when nobody answered.
bool sim_control(const std::string& to, const std::string& command, std::string& reply,
                 std::string& error);

// write() that never raises SIGPIPE on sockets (pipes and terminals as usual).
ssize_t write_some(int fd, std::string_view bytes);

// Connects to "HOST:PORT" on TCP, waiting at most `timeout_ms`; a
// non-blocking fd or -1 with `error`.
int tcp_connect(const std::string& host_port, int timeout_ms, std::string& error);

} // namespace telvara::platform::modem
