// The real program started headless: one instance per device root, signals, bad scripts.
// Missing program files are the language and skin start-up tests'.
#include "process_support.h"
#include <signal.h>
namespace telvara::e2e {
namespace {
class StartupE2e : public TelvaraWorld {};
// Killed outright, an instance blocks nothing; the next takes its own command line and
// those of later starts (the empty one too), and Ctrl-C closes it in order.
TEST_F(StartupE2e, OneInstancePerRootTakesTheCommandLinesOfLaterStarts) {
    pid_t first = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log(" start: 6")) << log_text();
    ::kill(first, SIGKILL);
    finish(first);
    fs::remove(m_root / "Temp" / "telvara.txt");
    first = start({"--headless", "--log", "recents"});
    ASSERT_TRUE(wait_for_log("MainForm::on_command_line cmd=recents\n")) << log_text();
    EXPECT_LT(log_text().find(" start: 6"), log_text().find(" WinMain 10"));
    // A later start with --log leaves the running log and the "Log" setting alone.
    const std::string before = log_text();
    EXPECT_EQ(run({"--log", "open:+4930123"}).status, 0);
    EXPECT_TRUE(wait_for_log("MainForm::on_command_line cmd=open:+4930123\n")) << log_text();
    EXPECT_TRUE(log_text().starts_with(before)) << "the log was started anew:\n" << log_text();
    EXPECT_THAT(log_text(), Not(HasSubstr("cmd_line=open"))) << "the later start wrote into it";
    EXPECT_THAT(settings_text(), Not(HasSubstr("\"Log\"")));
    EXPECT_EQ(run({}).status, 0);
    EXPECT_TRUE(wait_for_log("MainForm::on_command_line cmd=\n")) << log_text();
    EXPECT_THAT(log_text(), Not(HasSubstr("CommandLineEmpty")));
    // Another device root is another phone: it runs beside this one.
    EXPECT_EQ(
        script("wait 50\nshot other.png\n", {"--root", (m_dir / "other-root").string()}).status, 0);
    EXPECT_TRUE(fs::exists(m_dir / "other.png"));
    ::kill(first, SIGINT);
    const Finished end = finish(first);
    EXPECT_EQ(end.status, 0) << end.output;
    EXPECT_THAT(log_text(), AllOf(HasSubstr(" signal " + std::to_string(SIGINT) + ": closing"),
                                  HasSubstr("Application::~Application()")));
}
// A bad line stops the run before it starts; a tap on a node not shown (from either end,
// or the zeroth) or a modem command that cannot be carried out, where it stands.
TEST_F(StartupE2e, BadScriptsAndOptionsStopWithTheirLine) {
    const struct {
        const char* script; // nullptr: no script, the option --fast
        int status;
        const char* said;
    } rows[] = {
        {"shot never.png\nfly 1 2\n", 2, "script.txt:2: unknown command \"fly\""},
        {"wait 1500\ntap nosuch\n", 1, "script.txt:2: no node "},
        {"wait 1500\ntap big#-99\n", 1, "script.txt:2: no node "},
        {"wait 1500\ntap big#0\n", 1, "script.txt:2: no node "},
        {"modem ring 123\n", 1, "script.txt:1: there is no telephone yet"},
        {"wait 1000\n\nphone answer\n", 1, "script.txt:3: no call is ringing"},
        {"wait 1000\nmodem answer\n", 1, "modem answer: ERROR no outgoing call is ringing"},
        {nullptr, 2, "unknown option --fast"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script ? row.script : "--fast");
        const Finished run = row.script ? script(row.script) : this->run({"--fast"});
        EXPECT_EQ(run.status, row.status) << run.output;
        EXPECT_THAT(run.output, HasSubstr(row.said));
    }
    EXPECT_FALSE(fs::exists(m_dir / "never.png"));
}
} // namespace
} // namespace telvara::e2e
