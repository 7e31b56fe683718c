#pragma once
// One running instance per name: a lock file decides who runs, and a Unix
// domain socket beside it carries a second start's command line to the
// instance that holds the lock. Both live in the per-user runtime folder.
//
// The lock, not the socket file, decides: a crashed instance leaves its socket
// file behind, and the next start that gets the lock binds over it.

#include "platform/text.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>

namespace telvara::platform {

// $XDG_RUNTIME_DIR when it is an absolute folder of ours that nobody else may
// enter; else /tmp/telvara-<uid>, created with mode 0700 (`note`, when given,
// then says why $XDG_RUNTIME_DIR was passed over). Empty, and `error` filled,
// when $XDG_RUNTIME_DIR is another user's folder, or when /tmp/telvara-<uid>
// is not ours or is open to others: nothing can be kept there safely.
std::string runtime_folder(std::string& error, std::string* note = nullptr);

// What the running instance makes of one hand-over. Its methods run on the
// server's own thread.
class InstanceReceiver {
  public:
    // True when the instance shows a message box: it brings the box to the
    // front and does not take the command line.
    virtual bool bring_dialog_to_front() = 0;
    // Hands the command line on; false when it could not be delivered (the
    // instance is going away).
    virtual bool deliver(WString command_line) = 0;

  protected:
    ~InstanceReceiver() = default;
};

// Held by the running instance: the lock and the listening socket.
class InstanceServer {
  public:
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Starts answering second starts on a thread of its own. Connections that
    // arrive before wait in the socket's backlog. `receiver` must stay alive
    // until stop() or destruction.
    void serve(InstanceReceiver& receiver);
    // Ends the thread; later starts wait in the backlog or find the lock taken.
    void stop();

    const std::string& socket_path() const { return m_socket_path; }

  private:
    friend struct InstanceClaim;
    InstanceServer() = default;
    void run();

    int m_lock_fd = -1;
    int m_listen_fd = -1;
    int m_wake_read = -1;
    int m_wake_write = -1;
    std::string m_socket_path;
    InstanceReceiver* m_receiver = nullptr;
    std::thread m_thread;
};

enum class ClaimOutcome {
    Primary,        // this process is the instance; `server` holds the lock
    HandedOver,     // the running instance took the command line
    BroughtToFront, // the running instance shows a message box and raised it
    NoAnswer,       // another process holds the lock but never answered
    Unavailable,    // the folder, lock or socket cannot be used (not ours, open to others)
};

struct InstanceClaim {
    ClaimOutcome outcome = ClaimOutcome::Unavailable;
    std::unique_ptr<InstanceServer> server; // Primary only
    pid_t peer = 0;                         // the running instance, when it answered
    std::string error;                      // Unavailable and NoAnswer: why

    // Takes the lock "<folder>/<name>.lock" and listens on
    // "<folder>/<name>.sock", or hands `command_line` to the process that
    // holds the lock. A holder that is starting up or shutting down is retried
    // until `timeout` has passed.
    static InstanceClaim claim(const std::string& folder, std::string_view name,
                               WStringView command_line,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10));
};

// The longest command line a second start may hand over, in UTF-16 units.
inline constexpr std::size_t kMaxHandOverChars = 32 * 1024;

} // namespace telvara::platform
