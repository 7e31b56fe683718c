#pragma once
// The modem simulator: a telephone modem that speaks the AT dialect the
// modem layer expects and keeps calls with realistic timing (dialing, then
// ringing at the far end, then answered; busy numbers; numbers nobody
// answers), a SIM that may want its PIN, and a network it may lose. It has
// no clock and no I/O of its own: the caller passes the time and the bytes,
// so tests drive it with any clock they like. The server that puts it on
// TCP, a pseudo-terminal or a socket pair is in sim_server.h.
//
// Control commands (one per line, the same through the control socket):
//   ring [NUMBER [NAME...]]  an incoming call, with caller ID when a number is
//                      given and the caller's name (+CNAP) when a name follows;
//                      while another call is there it waits (+CCWA)
//   answer             the far end answers the outgoing call
//   hangup [ID]        the far end of call ID hangs up; without an id, every
//                      call but the held ones
//   busy [NUMBER]      NUMBER is busy from now on; no number: the next dialled
//   noanswer NUMBER    NUMBER rings but is never answered
//   sim pin CODE       the SIM asks for PIN CODE (3 tries, then its PUK)
//   sim puk CODE       the SIM's PUK (8 digits, default 12345678)
//   sim ready|absent   the SIM needs no code / is taken out
//   register home|roaming|searching|denied|off
//                      the network around (default home); with a locked or
//                      absent SIM the modem only searches (off: not even that)
//   operator NAME...   the network's name (default "Telvara Mobile")
//   signal N           the signal strength +CSQ gives: 0-31, 99 unknown
//   ussd CODE [REPLY...]  the network's reply to service code CODE; a reply
//                      starting with '?' asks for more; no reply: the default
//   silent on|off      stop (or resume) answering AT commands: a hung modem
//   send TEXT...       say TEXT on the AT port at once, as a line of its own,
//                      unchecked: the caller ID or call list of a broken modem
//   flood N TEXT...    the same N times over (1-100000)
//   calls              the call list, as +CLCC shows it
//   received           the AT commands received so far
//   reset              forget calls, busy numbers, the received commands and
//                      the SIM and network settings
// Every reply ends with a line "OK" or "ERROR <why>".

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::platform::modem {

struct SimTiming {
    std::chrono::milliseconds dial_to_alert{800};
    std::chrono::milliseconds alert_to_answer{3000};
    std::chrono::milliseconds busy_after{1500};
    // An unanswered call (either way) ends after this.
    std::chrono::milliseconds no_answer_after{30000};
    std::chrono::milliseconds ring_interval{3000};
    std::chrono::milliseconds service_reply_after{300};
};

class ModemSimulator {
  public:
    using Clock = std::chrono::steady_clock;

    struct Call {
        int id = 0;
        bool incoming = false;
        int stat = 0; // as +CLCC: 0 active, 1 held, 2 dialing, 3 alerting, 4 incoming, 5 waiting
        std::string number;
        Clock::time_point since{};
        Clock::time_point next_ring{};
        bool busy = false;
        bool never_answered = false;
        std::string name;        // the caller's name (+CNAP), empty for none
        bool multiparty = false; // part of a conference (+CLCC <mpty>)
    };

    explicit ModemSimulator(SimTiming timing = {});

    // A new connection to the AT port: the settings go back to their
    // defaults (echo on, no caller ID, no reports), calls and the SIM stay.
    void connect();
    // Bytes from the AT port; the answers are appended to the output.
    void feed(std::string_view bytes, Clock::time_point now);
    // Lets time pass: calls move on, rings repeat, replies arrive.
    void advance(Clock::time_point now);
    // What the modem has to say on its AT port since the last call.
    std::string take_output();
    // When advance() next has something to do.
    std::optional<Clock::time_point> next_deadline() const;

    // One control command (see above); the reply's lines end in '\n'.
    std::string control(std::string_view command, Clock::time_point now);

    std::vector<std::string> received() const;
    std::vector<Call> calls() const;

  private:
    enum class Sim : std::uint8_t { ready, pin, puk, blocked, absent };
    // The +CPIN line of a SIM state (blocked has none: the SIM answers with an error).
    static std::string_view cpin_line(Sim sim);
    enum class Coverage : std::uint8_t { home, roaming, searching, denied, off };

    void command(std::string line, Clock::time_point now);
    // The CME error of an extended command, or none.
    int extended(const std::string& command, std::string_view original, Clock::time_point now);
    // The commands of the SIM and of the network; nothing when not theirs.
    std::optional<int> sim_command(const std::string& command);
    int enter_code(const std::vector<std::string>& codes);
    std::optional<int> network_command(const std::string& command);
    int chld(std::string_view value, Clock::time_point now);
    int service_code(std::string_view arguments, Clock::time_point now);
    void dial(std::string_view number, Clock::time_point now);
    int dial_refusal(bool emergency) const;
    void ring_now(Call& call);
    void result(std::string_view text);
    void info(std::string_view text);
    std::string error(int code) const;
    std::string control_locked(std::string_view line, Clock::time_point now);
    std::string control_ring(std::string_view argument, Clock::time_point now);
    std::string control_hangup(std::string_view argument);
    std::string control_sim(std::string_view argument);
    std::string control_network(const std::string& verb, std::string_view argument);
    std::string control_ussd(std::string_view argument);
    void remove_if_stat(std::initializer_list<int> stats);
    // After every command and every step of time: waiting calls, the
    // conference and the registration catch up.
    void settle(Clock::time_point now);
    // With no other call left to talk on, a waiting call rings as incoming.
    void offer_waiting(Clock::time_point now);
    void update_multiparty();
    void update_registration();
    void report_sim();
    int stat() const;
    bool registered() const;
    std::string registration_text(bool eps, bool query) const;
    std::string clcc_lines() const;
    int free_id() const;
    Call* find_stat(std::initializer_list<int> stats);
    Call* find_id(int id);

    mutable std::mutex m_mutex;
    SimTiming m_timing;
    std::string m_input;
    std::string m_output;
    std::vector<std::string> m_received;
    std::vector<Call> m_calls;
    std::set<std::string> m_busy_numbers;
    std::set<std::string> m_never_answering;
    bool m_busy_next = false;
    bool m_silent = false;
    bool m_echo = true;
    bool m_clip = false;
    bool m_crc = false;
    bool m_ccwa = false;
    bool m_cnap = false;
    int m_cmee = 0;  // 0 ERROR, 1 numeric, 2 verbose
    int m_creg = 0;  // +CREG <n>
    int m_cereg = 0; // +CEREG <n>
    int m_cops_format = 0;
    int m_mute = 0;

    Sim m_sim = Sim::ready;
    std::string m_pin = "0000";
    std::string m_puk = "12345678";
    int m_pin_left = 3;
    int m_puk_left = 10;
    Coverage m_coverage = Coverage::home;
    int m_stat = 1; // the registration last reported
    std::string m_operator = "Telvara Mobile";
    int m_signal = 22;
    // Service replies by code; a leading '?' asks for more.
    std::map<std::string, std::string> m_ussd;
    // Service replies waiting for their time.
    std::vector<std::pair<Clock::time_point, std::string>> m_later;
};

} // namespace telvara::platform::modem
