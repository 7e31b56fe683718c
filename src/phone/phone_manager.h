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

#include "platform/messages.h"
#include "platform/text.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace telvara::phone {

class Telephone;

enum class DialKind;

struct PhoneManagerHooks {
    // Tells the user in a brief notice what became of a hand-off: a language
    // key, and a detail that takes the place of "%1" in its text.
    std::function<void(WStringView key, WStringView detail)> notify;
};

// The notices' language keys.
inline constexpr char16_t kNoticeOpeningMessages[] = u"skinOpeningMessages";
inline constexpr char16_t kNoticeOpeningMail[] = u"skinOpeningMail";
inline constexpr char16_t kNoticeOpeningWeb[] = u"skinOpeningWeb";
inline constexpr char16_t kNoticeOpeningFile[] = u"skinOpeningFile";
inline constexpr char16_t kNoticeNoMessages[] = u"skinNoMessagesProgram";
inline constexpr char16_t kNoticeNoMail[] = u"skinNoMailProgram";
inline constexpr char16_t kNoticeNoWeb[] = u"skinNoWebProgram";
inline constexpr char16_t kNoticeNoFile[] = u"skinCannotOpen";
inline constexpr char16_t kNoticeNoRedial[] = u"skinNoNumberToRedial";
inline constexpr char16_t kNoticeCallInProgress[] = u"skinCallInProgress";
inline constexpr char16_t kNoticeNoLine[] = u"skinServiceNoLine";
inline constexpr char16_t kNoticeNotServiceCode[] = u"skinNotServiceCode";
inline constexpr char16_t kNoticeSendingCode[] = u"skinSendingServiceCode";

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
    // changed is broadcast). An empty number dials the last outgoing call's
    // number again. What cannot go out is said on the call screen or in a
    // notice; frames go on either way.
    void call_number(WStringView number);
    // Dials; false when the line cannot take the number or is busy with a
    // call. Emergency numbers go out without a SIM or network check.
    bool make_call(WStringView number, DialKind kind);
    bool make_call(WStringView number);
    // The number of the newest outgoing call in the recents, empty when none.
    static WString last_outgoing_number();
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

  private:
    void notify(WStringView key, WStringView detail = {});
    void on_hand_off_ended(std::uintptr_t id, std::intptr_t status);
    // Runs a handler command and says what became of it.
    bool hand_off(WStringView setting, const std::vector<std::pair<char, std::string>>& values,
                  WStringView opening, WStringView missing);

    Telephone* m_telephone = nullptr;
    PhoneManagerHooks m_hooks;
    // Hand-offs whose program still runs, by number: what to say if it fails.
    std::map<std::uintptr_t, WString> m_running;
    std::uintptr_t m_next_hand_off = 1;
    // Where a program's end is reported, on the thread the manager lives on.
    std::unique_ptr<platform::MessageTarget> m_target;
    std::uint64_t m_calls_placed = 0;
};

} // namespace telvara::phone
