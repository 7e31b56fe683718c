// Handing numbers, files and addresses to other programs without a shell; the emergency shortcut.
#include "phone/emergency.h"
#include "phone/phone_manager.h"
#include "phone/phone_settings.h"
#include "phone/process.h"
#include "phone_test_support.h"
#include "runtime/registry.h"
#include "ui/key_names.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace telvara::phone {
namespace {
using testing::pump_until;

TEST(CommandTemplate, SplitsFillsAndEncodesWithoutAShell) {
    EXPECT_EQ(split_command("xdg-open %1"), (Argv{"xdg-open", "%1"}));
    EXPECT_EQ(split_command("  a   \"b c\"  d\"e f\"g "), (Argv{"a", "b c", "de fg"}));
    EXPECT_EQ(split_command("a \"\" b"), (Argv{"a", "", "b"}));
    EXPECT_EQ(split_command("a;b $(c) `d` | e"), (Argv{"a;b", "$(c)", "`d`", "|", "e"}));
    EXPECT_TRUE(split_command("   ").empty());
    // Values are filled once; unknown keys and a trailing percent stay; %1 unnamed goes last.
    const std::vector<std::pair<char, std::string>> values = {
        {'1', "sms:1%t2"}, {'n', "a b"}, {'t', "%1"}};
    EXPECT_EQ(fill_command({"prog", "--to=%n", "%t", "100%%"}, values, '1'),
              (Argv{"prog", "--to=a b", "%1", "100%", "sms:1%t2"}));
    EXPECT_EQ(fill_command({"prog", "x%1y"}, values, '1'), (Argv{"prog", "xsms:1%t2y"}));
    EXPECT_EQ(fill_command({"p", "%q", "50%"}, values, '1'), (Argv{"p", "%q", "50%", "sms:1%t2"}));
    EXPECT_EQ(percent_encode("Hello, world & more?"), "Hello%2C%20world%20%26%20more%3F");
    EXPECT_EQ(percent_encode("+7 912", "+"), "+7%20912");
    EXPECT_EQ(percent_encode("a@b.c?cc=x", "@"), "a@b.c%3Fcc%3Dx");
    EXPECT_EQ(percent_encode("Привет"), "%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82");
    EXPECT_EQ(percent_encode(std::string("a\0b", 3), std::string("\0", 1)), "a%00b");
    // Programs start without a shell and report their exit status.
    EXPECT_EQ(spawn_program({"/bin/sh", "-c", "exit 7"}, SpawnWait::for_exit), 7);
    EXPECT_EQ(spawn_program({"true"}, SpawnWait::for_exit), 0); // found in PATH
    EXPECT_FALSE(spawn_program({"/no/such/program"}, SpawnWait::for_exit).has_value());
    EXPECT_FALSE(spawn_program({"no-such-program-telvara"}).has_value());
    EXPECT_FALSE(spawn_program({}).has_value());
    EXPECT_FALSE(spawn_program({"/bin/echo", std::string("a\0b", 3)}).has_value());
}

// A private device root and a helper that writes its arguments to a file, NUL-ended.
class LaunchTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        runtime::settings_store().set_recheck_interval(std::chrono::milliseconds(0));
        m_out = root() + "/argv.out";
        m_helper = root() + "/record-argv";
        std::ofstream script(m_helper);
        script << "#!/bin/sh\n"
                  "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '"
               << m_out << ".tmp' && mv '" << m_out << ".tmp' '" << m_out << "'\n";
        script.close();
        ::chmod(m_helper.c_str(), 0755);
    }
    void TearDown() override {
        runtime::settings_store().set_recheck_interval(platform::SettingsStore::default_recheck);
        DocumentTest::TearDown();
    }
    void set_command(const char16_t* name, const std::string& command) {
        ASSERT_TRUE(runtime::reg_write_string(k_telvara_key, name, from_utf8(command)));
    }
    // The arguments the helper received (after argv[0]); empty after a timeout.
    Argv recorded() {
        if (!pump_until([&] { return std::filesystem::exists(m_out); }))
            return {};
        std::ifstream in(m_out, std::ios::binary);
        Argv out;
        for (std::string arg; std::getline(in, arg, '\0');)
            out.push_back(arg);
        std::filesystem::remove(m_out);
        return out;
    }
    std::string m_out, m_helper;
};
const char16_t k_hostile[] = u"+1 555; rm -rf ~ \"'$(touch PWNED)`touch PWNED2`\n|&>x";

TEST_F(LaunchTest, SmsMailAndWebAddressesAndHandlersThatFail) {
    set_command(u"SmsCommand", m_helper + " %1");
    set_command(u"MailCommand", m_helper);
    set_command(u"WebCommand", m_helper + " --new-window %1");
    PhoneManager manager(nullptr);
    std::vector<WString> notices;
    manager.set_hooks({[&](WStringView key, WStringView) { notices.emplace_back(key); }});
    // The SMS address carries the body only when there is one.
    ASSERT_TRUE(manager.send_sms(u"+7 912", u"Hi & bye?"));
    EXPECT_EQ(recorded(), (Argv{"sms:+7%20912?body=Hi%20%26%20bye%3F"}));
    ASSERT_TRUE(manager.open_sms_chat(u"*100#"));
    EXPECT_EQ(recorded(), (Argv{"sms:*100%23"}));
    ASSERT_TRUE(manager.send_mail(u"ada@example.org?cc=eve@example.org"));
    EXPECT_EQ(notices, (std::vector<WString>{kNoticeOpeningMessages, kNoticeOpeningMessages,
                                             kNoticeOpeningMail}));
    EXPECT_EQ(recorded(), (Argv{"mailto:ada@example.org%3Fcc%3Deve@example.org"}));
    ASSERT_TRUE(manager.open_url(u"https://example.org/a?b=c"));
    EXPECT_EQ(recorded(), (Argv{"--new-window", "https://example.org/a?b=c"}));
    // Without a scheme it is a web address, never an option or a file.
    ASSERT_TRUE(manager.open_url(u"--help"));
    EXPECT_EQ(recorded(), (Argv{"--new-window", "http://--help"}));
    EXPECT_FALSE(manager.open_url(u""));
    // A missing handler is said at once; one that starts and fails (xdg-open finding no program
    // for the address) when it ends.
    notices.clear();
    set_command(u"SmsCommand", "/no/such/handler %1");
    EXPECT_FALSE(manager.send_sms(u"1", u""));
    set_command(u"MailCommand", "/bin/sh -c \"exit 3\" %1");
    EXPECT_TRUE(manager.send_mail(u"ada@example.org"));
    EXPECT_TRUE(pump_until([&] { return notices.size() == 3; }));
    EXPECT_EQ(notices,
              (std::vector<WString>{kNoticeNoMessages, kNoticeOpeningMail, kNoticeNoMail}));
    // An installed chat program takes the SMS chat, its address unencoded.
    ASSERT_TRUE(runtime::reg_write_string(u"HKEY_LOCAL_MACHINE\\Software\\Apps\\KELMA Messly",
                                          u"InstallDir", u"\\Program Files\\Messly"));
    const std::string folder = root() + "/Program Files/Messly";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(m_helper, folder + "/Messly.exe");
    ::chmod((folder + "/Messly.exe").c_str(), 0755);
    ASSERT_TRUE(manager.open_sms_chat(u"+1 555; x"));
    EXPECT_EQ(recorded(), (Argv{"open:+1 555; x"}));
}

TEST_F(LaunchTest, ExecuteFileRunsProgramsAndOpensDocuments) {
    PhoneManager manager(nullptr);
    // Paths are the device's: "\record-argv" is the helper in the root.
    ASSERT_TRUE(manager.execute_file(u"\\record-argv", k_hostile));
    EXPECT_EQ(recorded(), (Argv{to_utf8(k_hostile)}));
    for (const std::string& made : {std::string("PWNED"), std::string("PWNED2"), root() + "/x"})
        EXPECT_FALSE(std::filesystem::exists(made)) << made << ": no shell ran";
    ASSERT_TRUE(manager.execute_file(u"/record-argv", u""));
    EXPECT_EQ(recorded(), Argv{});
    // A document goes to the open command.
    set_command(u"OpenCommand", m_helper + " open %1");
    const std::string document = root() + "/notes.txt";
    std::ofstream(document) << "x";
    ASSERT_TRUE(manager.execute_file(u"\\notes.txt", u"ignored"));
    EXPECT_EQ(recorded(), (Argv{"open", document}));
    EXPECT_FALSE(manager.execute_file(u"\\missing.exe", u""));
    EXPECT_FALSE(manager.execute_file(u"", u""));
}

class PhoneSettingsTest : public LaunchTest {};

// Where other programs read them: the missed-call counter, the modem and the emergency numbers.
TEST_F(PhoneSettingsTest, MissedCallCounterModemAndEmergencyNumbers) {
    EXPECT_EQ(increment_missed_call_count(), 1u);
    EXPECT_EQ(increment_missed_call_count(), 2u);
    std::uint32_t raw = 0;
    ASSERT_TRUE(runtime::reg_read_dword(u"HKEY_CURRENT_USER\\System\\State\\Phone",
                                        u"Missed Call Count", raw));
    EXPECT_EQ(raw, 2u);
    EXPECT_EQ(modem_device(), "sim");
    EXPECT_EQ(emergency_numbers(), (std::vector<WString>{u"112", u"911"}));
    runtime::reg_write_string(k_telvara_key, u"Modem", u"tcp:127.0.0.1:7000");
    runtime::reg_write_string(k_telvara_key, u"EmergencyNumbers", u" 101, 102 ;103");
    EXPECT_EQ(modem_device(), "tcp:127.0.0.1:7000");
    EXPECT_EQ(emergency_numbers(), (std::vector<WString>{u"101", u"102", u"103"}));
    runtime::reg_write_string(k_telvara_key, u"Modem", u"  ");
    runtime::reg_write_string(k_telvara_key, u"EmergencyNumbers", u" , ");
    EXPECT_EQ(modem_device(), "sim");
    EXPECT_EQ(emergency_numbers(), (std::vector<WString>{u"112", u"911"}));
}
void type(EmergencyShortcut& shortcut, std::u16string_view digits) {
    for (char16_t d : digits) {
        EXPECT_FALSE(shortcut.on_key(ui::key::Digit0 + (d - u'0'), KeyAction::pressed));
        EXPECT_FALSE(shortcut.on_key(ui::key::Digit0 + (d - u'0'), KeyAction::released));
    }
}

TEST_F(PhoneSettingsTest, EmergencyDigitsAreCollectedAndCleared) {
    PhoneManager manager(nullptr);
    EmergencyShortcut shortcut(manager);
    type(shortcut, u"0112");
    EXPECT_EQ(shortcut.typed_digits(), u"0112");
    EXPECT_FALSE(shortcut.on_key(ui::key::Left, KeyAction::pressed));
    EXPECT_TRUE(shortcut.typed_digits().empty());
    type(shortcut, u"12");
    // 12 is not 112: the Talk key goes on to the form; the digits stay.
    EXPECT_FALSE(shortcut.on_key(ui::key::CallMake, KeyAction::pressed));
    EXPECT_EQ(shortcut.typed_digits(), u"12");
    // No key and released keys change nothing.
    EXPECT_FALSE(shortcut.on_key(ui::key::None, KeyAction::pressed) ||
                 shortcut.on_key(ui::key::Left, KeyAction::released));
    EXPECT_EQ(shortcut.typed_digits(), u"12");
    // A long run of digits keeps its tail.
    type(shortcut, std::u16string(200, u'7') + u"911");
    EXPECT_TRUE(shortcut.on_key(ui::key::CallMake, KeyAction::pressed));
    EXPECT_TRUE(shortcut.typed_digits().empty());
}

} // namespace
} // namespace telvara::phone
