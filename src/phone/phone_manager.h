#pragma once
// Placing calls and handing things to other programs: numbers go to the
// telephone line (service codes such as "*100#" as codes, everything else
// dialled), text messages, mail and web addresses to the desktop's handlers
// ("xdg-open" with "sms:", "mailto:" and web addresses) or to the programs
// the settings name. Programs are started without a shell (process.h).
//
// Command settings (under HKEY_CURRENT_USER\Software\KELMA\Telvara) are
// split into words at blanks ("double quotes" keep blanks in a word); in a
// word, "%1" is the address ("sms:...", "mailto:...", the web address, the
// file), "%n" the number, "%t" the message text, "%a" the mail address and
// "%%" a percent sign. Without "%1" the address becomes the last argument.
//   "SmsCommand"  default "xdg-open %1"
//   "MailCommand" default "xdg-open %1"
//   "WebCommand"  default "xdg-open %1"
//   "OpenCommand" default "xdg-open %1" (files that are not programs)

#include "platform/text.h"

#include <cstdint>
#include <functional>

namespace telvara::phone {

class Telephone;

struct PhoneManagerHooks {
    // Sets the frame loop's idle flag (frames pause until the next input).
    std::function<void()> set_idle;
};

class PhoneManager {
  public:
    // The second PhoneManager in a process is a fatal error. Without a
    // telephone no call can be placed.
    explicit PhoneManager(Telephone* telephone);
    ~PhoneManager();
    PhoneManager(const PhoneManager&) = delete;
    PhoneManager& operator=(const PhoneManager&) = delete;

    static PhoneManager* instance();
    void set_hooks(PhoneManagerHooks hooks) { m_hooks = std::move(hooks); }

    // A number beginning with "*" is sent as a service code; any other is
    // dialled and, once the line took it, becomes the caller's number (caller
    // changed is broadcast).
    void call_number(WStringView number);
    // Dials; false when the line cannot take the number or is busy with a
    // call.
    bool make_call(WStringView number);
    // Calls begun so far: every dial attempt and every call the line offered.
    // A change tells that a call began since the last look.
    std::uint64_t call_starts() const;

    // True when the handler program was started.
    bool send_sms(WStringView number, WStringView text);
    // The SMS chat program when installed ("open:" + number), else send_sms
    // with an empty text.
    bool open_sms_chat(WStringView number);
    bool send_mail(WStringView address);
    bool open_url(WStringView address);
    // Starts a program (with `parameters` as its one argument, when given) or
    // opens a file with the "OpenCommand". The path goes through the path
    // variables first.
    bool execute_file(WStringView path, WStringView parameters);

    static std::uint32_t missed_call_count();
    static void reset_missed_call_count();

    void set_idle();

  private:
    Telephone* m_telephone = nullptr;
    PhoneManagerHooks m_hooks;
    std::uint64_t m_calls_placed = 0;
};

} // namespace telvara::phone
