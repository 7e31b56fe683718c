// telvara-modem: runs the modem simulator on its own, or controls one (by
// default the one inside the Telvara running on the device root, through its
// control socket).
//
//   telvara-modem serve --listen 127.0.0.1:PORT [--control 127.0.0.1:PORT] [--pty]
//   telvara-modem COMMAND [ARGUMENT...] [--to SOCKET|HOST:PORT | --root DIR]
//   telvara-modem --help | --version
// The commands are the simulator's (modem_sim.h); their words are sent as one
// line, so names may have spaces: telvara-modem ring +491234 Anna Berg

#include "platform/modem/sim_server.h"
#include "platform/runtime_names.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace modem = telvara::platform::modem;

namespace {

std::atomic<bool> g_stop{false};

void on_signal(int) {
    g_stop = true;
}

// The project's version (CMakeLists.txt).
constexpr const char* version = "3.01";

constexpr const char* usage_text =
    "usage: telvara-modem serve --listen HOST:PORT [--control HOST:PORT] [--pty]\n"
    "       telvara-modem COMMAND [--to SOCKET|HOST:PORT | --root DIR]\n"
    "       telvara-modem --help | --version\n"
    "Commands to the simulator:\n"
    "  ring [NUMBER [NAME...]]   a call comes in (with the caller's name); it waits\n"
    "                            while another call is there\n"
    "  answer                    the far end answers the outgoing call\n"
    "  hangup [ID]               the far end of call ID (else of every call) hangs up\n"
    "  busy [NUMBER]             NUMBER (else the next dialled) is busy\n"
    "  noanswer NUMBER           NUMBER never answers\n"
    "  sim pin CODE | puk CODE | ready | absent\n"
    "                            the SIM wants PIN CODE, has PUK CODE, is unlocked, is out\n"
    "  register home|roaming|searching|denied|off\n"
    "                            the network around\n"
    "  operator NAME...          the network's name\n"
    "  signal N                  the signal strength: 0-31, 99 unknown\n"
    "  ussd CODE [[?]REPLY...]   the reply to service code CODE ('?': it asks for more)\n"
    "  silent on|off             the modem stops (resumes) answering\n"
    "  send TEXT...              the modem says TEXT on its AT port, unchecked\n"
    "  flood N TEXT...           the same N times over (1-100000)\n"
    "  calls | received | reset  the call list, the AT commands received, start over\n"
    "Without --to: the simulator inside the Telvara running on the device root\n"
    "DIR (default $TELVARA_ROOT, else ~/.local/share/telvara).\n";

int usage() {
    std::fputs(usage_text, stderr);
    return 2;
}

bool split(const std::string& host_port, std::string& host, int& port) {
    auto colon = host_port.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    host = host_port.substr(0, colon);
    try {
        std::size_t used = 0;
        port = std::stoi(host_port.substr(colon + 1), &used);
        return used == host_port.size() - colon - 1 && port >= 0 && port < 65536;
    } catch (...) {
        return false;
    }
}

int serve(const std::vector<std::string>& args) {
    std::string listen = "127.0.0.1:0";
    std::string control;
    bool pty = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--listen" && i + 1 < args.size()) {
            listen = args[++i];
        } else if (args[i] == "--control" && i + 1 < args.size()) {
            control = args[++i];
        } else if (args[i] == "--pty") {
            pty = true;
        } else {
            return usage();
        }
    }
    std::string host;
    int port = 0;
    if (!split(listen, host, port)) {
        return usage();
    }
    modem::SimServer server(std::make_shared<modem::ModemSimulator>());
    std::string error;
    int at_port = server.listen_at(host, port, error);
    if (at_port < 0) {
        std::fprintf(stderr, "telvara-modem: cannot listen on %s: %s\n", listen.c_str(),
                     error.c_str());
        return 1;
    }
    // The control port sits beside the AT port unless named.
    std::string control_host = host;
    int control_port = port == 0 ? 0 : at_port + 1;
    if (!control.empty() && !split(control, control_host, control_port)) {
        return usage();
    }
    int bound_control = server.listen_control(control_host, control_port, error);
    if (bound_control < 0) {
        std::fprintf(stderr, "telvara-modem: cannot listen on control port: %s\n", error.c_str());
        return 1;
    }
    std::printf("AT %s:%d\ncontrol %s:%d\n", host.c_str(), at_port, control_host.c_str(),
                bound_control);
    if (pty) {
        std::string path = server.open_pty(error);
        if (path.empty()) {
            std::fprintf(stderr, "telvara-modem: no pseudo-terminal: %s\n", error.c_str());
            return 1;
        }
        std::printf("pty %s\n", path.c_str());
    }
    std::fflush(stdout);
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::signal(SIGPIPE, SIG_IGN);
    server.start();
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    server.stop();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return usage();
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (args[0] == "--version") {
        std::printf("telvara-modem %s\n", version);
        return 0;
    }
    if (args[0] == "serve") {
        return serve({args.begin() + 1, args.end()});
    }
    std::string to;
    std::string root;
    std::string command;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--to" && i + 1 < args.size()) {
            to = args[++i];
        } else if (args[i] == "--root" && i + 1 < args.size() && !args[i + 1].empty()) {
            root = args[++i];
        } else {
            command += (command.empty() ? "" : " ") + args[i];
        }
    }
    if (command.empty() || command.find_first_of("\r\n") != std::string::npos) {
        return usage();
    }
    if (to.empty()) {
        // The running Telvara names its socket after its device root.
        if (root.empty()) {
            root = telvara::platform::default_device_root_from_environment();
        }
        while (root.size() > 1 && root.back() == '/') {
            root.pop_back();
        }
        to = telvara::platform::sim_control_socket_for(root);
        if (to.empty()) {
            std::fputs("telvara-modem: no runtime folder for the control socket\n", stderr);
            return 1;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::string reply;
    std::string error;
    if (!modem::sim_control(to, command, reply, error)) {
        std::fprintf(stderr, "telvara-modem: %s\n", error.c_str());
        return 1;
    }
    std::fputs(reply.c_str(), stdout);
    auto last = reply.rfind('\n', reply.size() >= 2 ? reply.size() - 2 : 0);
    std::string tail = reply.substr(last == std::string::npos ? 0 : last + 1);
    return tail.rfind("OK", 0) == 0 ? 0 : 1;
}
