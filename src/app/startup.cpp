// WinMain's steps: single instance, application window, language, splash
// skin and splash form with its worker, the loop, and the shut-down in
// reverse order. The log lines " start: N" mark each step.
#include "app/startup.h"

#include "app/application.h"
#include "app/headless_driver.h"
#include "app/headless_script.h"
#include "app/message_box.h"
#include "app/phone_objects.h"
#include "app/signal_watch.h"
#include "app/single_instance.h"
#include "app/startup_notices.h"
#include "data/document.h"
#include "display/headless_display.h"
#include "display/sdl_display.h"
#include "forms/form_splash.h"
#include "forms/main_form.h"
#include "forms/skin_check.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "runtime/registry.h"
#include "ui/lang/file_search.h"
#include "ui/lang/skin_language_choice.h"
#include "ui/properties.h"
#include "ui/vadode.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace telvara::app {

namespace {

constexpr char16_t kNoLanguages[] =
    u"No languages, please reinstall\nНе найдены языковые файлы, нужна переустановка\n";
// Far more lines than any test or demo needs; /dev/zero is not a script.
constexpr std::size_t kMaxScriptBytes = 16u << 20;

void log_step(const char16_t* text) {
    runtime::log() << platform::tick_count() << text;
}

// The main form's side of the application: command lines of a second start
// and the return to the foreground reach the main screen.
class MainFormListener final : public ApplicationListener {
  public:
    void set_form(forms::MainForm* form) { m_form = form; }

    void on_command_line(WStringView text) override {
        if (m_form != nullptr)
            m_form->on_command_line(text);
        ApplicationListener::on_command_line(text);
    }
    void on_activate() override {
        if (m_form != nullptr)
            m_form->on_resume();
    }

  private:
    forms::MainForm* m_form = nullptr;
};

// What the splash's worker builds: the contact and telephone objects, the
// main skin (into the language object, which holds both) and the main form.
// Problems met on the way join the start-up notices, shown once the main
// screen is in front.
class StartupWork final : public forms::SplashWork {
  public:
    StartupWork(Application& application, ui::Properties& language, unsigned scale_shift,
                StartupNotices notices)
        : m_application(application), m_language(language), m_scale_shift(scale_shift),
          m_notices(std::move(notices)) {}

    ~StartupWork() override {
        if (m_application.listener() == &m_listener)
            m_application.set_listener(nullptr);
        m_listener.set_form(nullptr);
        if (m_main)
            m_main->set_scheduler(nullptr);
        if (m_main && m_application.is_shown(*m_main))
            m_application.close_form(*m_main, forms::Animate::No);
        m_main.reset();
        // m_objects goes next, in reverse order of its building.
    }

    void create_document() override { m_objects.create(); }
    bool select_skin() override {
        // Only a skin that has every screen is taken; the setting stays as it
        // is, so a skin that is mended later is used again.
        ui::ChoiceContext context;
        context.skin_check = forms::screens_refusal;
        const bool taken =
            ui::select_skin_at_start(m_language, context, u"", m_scale_shift, &m_skin_report);
        if (m_skin_report.fell_back())
            m_notices.add(u"skinSkinRefused",
                          forms::skin_display_name(m_language, m_skin_report.wanted));
        return taken;
    }
    void create_main_form() override {
        try {
            build_main_form();
            return;
        } catch (const std::exception& error) {
            // A screen of the chosen skin failed beyond the check of its
            // top-level nodes: the default skin, when it was not that one.
            if (!take_default_skin(error.what()))
                throw;
        }
        build_main_form();
    }
    forms::Form* main_form() override { return m_main.get(); }
    void attach_main_form() override {
        m_main->set_scheduler(&m_application.game().active_scheduler());
        m_listener.set_form(m_main.get());
        m_application.set_listener(&m_listener);
    }
    void load_document() override { m_objects.load(); }

    void prepare_main_form() override { m_listener.on_resolution_changed(); }
    void main_form_shown(WStringView command_line) override {
        // A damaged letter map was replaced by the standard letters.
        if (const data::Document* document = data::Document::instance()) {
            if (const std::string& why = document->key_map().load_error(); !why.empty()) {
                std::fprintf(stderr, "telvara: %s; the standard letters are used\n", why.c_str());
                m_notices.add(u"skinKeyboardDamaged");
            }
        }
        // The settings were read first; then the rest, each in its turn.
        post_settings_problems();
        m_notices.post();
        m_application.show_settings_problems();
        // Store watching and the modem line deliver to the UI thread.
        m_objects.start(m_application);
        if (!command_line.empty())
            m_listener.on_command_line(command_line);
        m_application.game().bring_to_front();
    }
    void start_failed(forms::StartFailure failure, const std::string& detail) override {
        WString text = failure == forms::StartFailure::NoSkins
                           ? m_language.translate(u"NoSkins")
                           : u"The skin has no main screen, please reinstall\n";
        if (!text.ends_with(u'\n'))
            text += u'\n';
        // Each skin tried and why it was not taken.
        for (const std::string& refusal : m_skin_report.refusals)
            text += from_utf8(refusal) + u"\n";
        if (!detail.empty())
            text += from_utf8(detail) + u"\n";
        show_message_box(text, kApplicationName);
        platform::post_quit(1);
    }

  private:
    void build_main_form() {
        m_main.reset();
        forms::MainFormServices services;
        services.store = m_objects.store();
        services.call_log = m_objects.call_log();
        services.photos = m_objects.photos();
        m_main = std::make_unique<forms::MainForm>(m_language, services);
    }
    // After the main form could not be built from the skin taken: takes the
    // default skin instead, when that is another one and passes the check.
    bool take_default_skin(const std::string& why) {
        const WString failed = m_language.impl().path();
        const WString fallback = u"%app_path%/skins/bin/default.skin";
        if (ui::base_name(failed) == u"default")
            return false;
        m_skin_report.refusals.push_back(runtime::file_path(failed) + ": " + why);
        ui::Properties trial;
        std::string error;
        if (!trial.load_skin(fallback, m_scale_shift, &error)) {
            m_skin_report.refusals.push_back(runtime::file_path(fallback) + ": " + error);
            return false;
        }
        if (const std::string missing = forms::screens_refusal(trial); !missing.empty()) {
            m_skin_report.refusals.push_back(runtime::file_path(fallback) + ": " + missing);
            return false;
        }
        runtime::log() << platform::tick_count() << u" start: skin [" << failed
                       << u"] cannot carry the screens (" << from_utf8(why)
                       << u"), the default skin is taken\n";
        m_language.install(trial.impl());
        m_notices.add(u"skinSkinRefused", forms::skin_display_name(m_language, failed));
        return true;
    }

    Application& m_application;
    ui::Properties& m_language;
    unsigned m_scale_shift = 0;
    // How the skin was chosen: what a failed start and the notices say.
    ui::SkinStartReport m_skin_report;
    // Filled before the splash and on the worker; posted on the UI thread
    // after the worker has ended.
    StartupNotices m_notices;
    PhoneObjects m_objects;
    std::unique_ptr<forms::MainForm> m_main;
    MainFormListener m_listener;
};

std::unique_ptr<display::Display> make_display(const StartOptions& options, std::string& error) {
    if (options.headless) {
        display::ScreenMetrics metrics{240, 320, 96, 0};
        metrics.width = options.screen.width.value_or(metrics.width);
        metrics.height = options.screen.height.value_or(metrics.height);
        metrics.dpi = options.screen.dpi.value_or(metrics.dpi);
        return std::make_unique<display::HeadlessDisplay>(metrics);
    }
    display::SdlDisplayOptions sdl;
    sdl.width = options.screen.width.value_or(0);
    sdl.height = options.screen.height.value_or(0);
    sdl.dpi = options.screen.dpi.value_or(0);
    return display::SdlDisplay::create(sdl, &error);
}

std::string no_display_message(const std::string& why) {
    return "telvara: no display to open a window on" + (why.empty() ? "" : " (" + why + ")") +
           ".\n"
           "Run it where there is a desktop (DISPLAY or WAYLAND_DISPLAY set), or headless with\n"
           "a script of input and screenshots:\n"
           "    telvara --headless --script FILE\n"
           "See telvara --help for the script commands.\n";
}

// Steps 5 to 10: everything that needs the application window.
int run_application(Application& application, const StartOptions& options,
                    const ParsedScript* script) {
    GameBase& game = application.game();
    StartupNotices notices;
    log_step(u" start: 3\n");
    ui::Properties language;
    std::vector<ui::LanguageRefusal> refused;
    const bool have_language =
        ui::select_language_at_start(language, ui::ChoiceContext{}, &refused);
    WString refusal_lines;
    for (const ui::LanguageRefusal& refusal : refused) {
        std::fprintf(stderr, "telvara: language file not used: %s\n", refusal.why.c_str());
        refusal_lines += from_utf8(refusal.why) + u"\n";
        notices.add(u"skinLanguageDamaged", refusal.file_name);
    }
    if (!have_language) {
        show_message_box(kNoLanguages + refusal_lines, kApplicationName);
        return 1;
    }

    log_step(u" start: 5\n");
    const ScreenInfo info = game.screen_info();
    ui::Properties splash_skin;
    // A skin's own splash that does not load gives way to the common one.
    if (!splash_skin.load_skin(ui::splash_skin_path(ui::ChoiceContext{}), scale_shift(info)) &&
        !splash_skin.load_skin(u"%app_path%/skins/bin/splash.skin", scale_shift(info))) {
        show_message_box(language.translate(u"NoSkins"), kApplicationName);
        return 1;
    }

    std::unique_ptr<forms::FormSplash> splash;
    try {
        splash = std::make_unique<forms::FormSplash>(
            splash_skin,
            std::make_unique<StartupWork>(application, language, scale_shift(info),
                                          std::move(notices)),
            options.command_line,
            script && !options.realtime ? forms::SplashPacing::Virtual
                                        : forms::SplashPacing::RealTime);
    } catch (const ui::vadode::Error& error) {
        show_message_box(u"The splash skin is damaged, please reinstall\n" +
                             from_utf8(error.what()) + u"\n",
                         kApplicationName);
        return 1;
    }
    application.show_form(*splash, forms::ShowMode::Replace, forms::Animate::Yes);
    if (!splash->start()) {
        show_message_box(u"Cannot start the loading thread\n", kApplicationName);
        return 1;
    }

    log_step(u" start: 6\n");
    int status =
        script ? run_headless_script(application, *script, options.script,
                                     options.realtime ? ScriptClock::Real : ScriptClock::Virtual)
               : game.run();
    if (status == 0 && script == nullptr)
        status = game.exit_code();
    runtime::log().flush();
    // Off the stack before it goes; it waits for its worker.
    application.close_form(*splash, forms::Animate::No);
    splash.reset();
    return status;
}

} // namespace

std::string usage_text() {
    return "usage: telvara [OPTIONS] [COMMAND LINE]\n"
           "\n"
           "Starts Telvara, or hands COMMAND LINE to the Telvara that already runs on the\n"
           "same device root:\n"
           "  recents, favorites, contacts   show that tab\n"
           "  open:NUMBER                    the contact with NUMBER, or a new one for it\n"
           "  tel:NUMBER, callto:NUMBER      NUMBER on the keypad, ready to call (a link\n"
           "                                 as the desktop hands it over: separators,\n"
           "                                 %-escapes and ;parameters are taken out)\n"
           "\n"
           "options:\n"
           "  --headless        run without a window (no display needed)\n"
           "  --script FILE     with --headless: run the commands of FILE on a virtual\n"
           "                    clock, then exit (0 at the end of the script)\n"
           "  --realtime        with --script: run it on the real clock instead, for a\n"
           "                    modem that is not the built-in simulator\n"
           "  --screen WxH      screen size in pixels (default: the window's, 240x320 headless)\n"
           "  --dpi N           pixels per inch (192 and more doubles the skin)\n"
           "  --root DIR        device root: settings, log, contacts (default\n"
           "                    $TELVARA_ROOT, else ~/.local/share/telvara)\n"
           "  --log             write the log (<root>/Temp/telvara.txt) for this run;\n"
           "                    `telvara-settings log on` switches it on for good\n"
           "  --help            this text\n"
           "  --version         the program's name and version\n"
           "\n"
           "script commands, one per line (# starts a comment):\n"
           "  wait MS                 run the program for MS milliseconds of the script's clock\n"
           "  sleep MS                let MS milliseconds of real time pass\n"
           "  tap X Y                 pen down and up at screen coordinates\n"
           "  down X Y | move X Y | up X Y\n"
           "  drag X1 Y1 X2 Y2 MS     pen down, moves over MS milliseconds, up\n"
           "  key NAME                press and release a key (Left, 5, CALL_MAKE, SOFT_LEFT...)\n"
           "  keydown NAME | keyup NAME\n"
           "  type TEXT               characters, as typed on the input panel\n"
           "  cmdline TEXT            a command line as handed over by a second start\n"
           "  shot FILE.png           the screen as a PNG file\n"
           "  lint                    report what does not fit on the screen in front (texts\n"
           "                          cut, controls too small or overlapping, nodes off the\n"
           "                          screen); the run then ends with status 3\n"
           "  expect STATE [MS]       wait (in real time, default 10000 ms) until the\n"
           "                          telephone is incoming, dialing, connected, ended,\n"
           "                          waiting, held or conference\n"
           "  expect screen NAME [MS] ... until NAME (Call, Main, PinForm...) is in front\n"
           "  expect text NODE TEXT   ... until the node NODE in front shows TEXT\n"
           "                          (NODE#N: the N-th shown node of that name)\n"
           "  expect text NODE \"TEXT\" [MS]   the same with a time-out\n"
           "  modem ring [NUMBER [NAME]] | answer | hangup [ID] | busy [NUMBER]\n"
           "        | noanswer NUMBER | sim pin CODE|ready|absent | signal N\n"
           "        | register home|roaming|searching|denied|off | operator NAME\n"
           "        | ussd CODE [REPLY]\n"
           "                          the far end and the network, through the built-in\n"
           "                          simulator or the one the setting ModemControl names\n"
           "  phone answer | phone hangup | phone dial NUMBER\n"
           "                          the user answers, ends or places a call\n"
           "                          (modem and phone commands wait, in real time, until\n"
           "                          the telephone has seen the change)\n";
}

ParsedOptions parse_options(int argc, const char* const* argv) {
    ParsedOptions parsed;
    StartOptions& o = parsed.options;
    std::string words;
    bool only_words = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        const auto fail = [&](std::string message) {
            parsed.error = std::move(message);
            return parsed;
        };
        if (only_words || arg.rfind("--", 0) != 0 || arg == "--") {
            if (arg == "--" && !only_words) {
                only_words = true;
                continue;
            }
            words += (words.empty() ? "" : " ") + arg;
        } else if (arg == "--headless") {
            o.headless = true;
        } else if (arg == "--realtime") {
            o.realtime = true;
        } else if (arg == "--script") {
            if (!has_value)
                return fail("--script needs a file");
            o.script = argv[++i];
        } else if (arg == "--screen") {
            if (!has_value || !parse_screen_size(argv[i + 1], o.screen))
                return fail("--screen needs a size such as 240x320");
            ++i;
        } else if (arg == "--dpi") {
            if (!has_value || !parse_dpi(argv[i + 1], o.screen))
                return fail("--dpi needs pixels per inch (1 to 10000)");
            ++i;
        } else if (arg == "--root") {
            if (!has_value || argv[i + 1][0] == '\0')
                return fail("--root needs a folder");
            o.root = argv[++i];
        } else if (arg == "--log") {
            o.log = true;
        } else if (arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else {
            return fail("unknown option " + arg);
        }
    }
    if (!o.script.empty() && !o.headless)
        parsed.error = "--script runs only with --headless";
    else if (o.realtime && o.script.empty())
        parsed.error = "--realtime runs only with --script";
    o.command_line = from_utf8(words);
    return parsed;
}

int win_main(const StartOptions& options) {
    // Before any thread: SIGINT and SIGTERM go to the watch started below.
    block_termination_signals();
    // The log file may be a running instance's: nothing is written to it
    // until this process knows it is the instance.
    runtime::hold_log();
    if (options.root) {
        platform::create_folders(*options.root);
        runtime::set_device_root(*options.root);
    }
    // --log: for this process only; the setting, which a running instance
    // reads too, stays as it is.
    if (options.log)
        runtime::set_log_switch(runtime::LogSwitch::On);

    // A script is read whole before anything starts: a bad line ends the run
    // with its number and nothing else happens.
    ParsedScript script;
    if (!options.script.empty()) {
        std::string why;
        const auto text = platform::read_whole_file(options.script, kMaxScriptBytes, &why);
        if (!text) {
            std::fprintf(stderr, "telvara: cannot read the script %s\n", why.c_str());
            return 2;
        }
        script = parse_script(*text);
        if (!script.ok()) {
            std::fprintf(stderr, "%s:%d: %s\n", options.script.c_str(), script.error_line,
                         script.error.c_str());
            return 2;
        }
    }

    log_step(u" start: 1\n");
    std::string instance_note;
    switch (check_running_instance(options.command_line, kApplicationName, &instance_note)) {
    case InstanceCheck::HandedOver:
        runtime::release_log(runtime::HeldLines::Drop);
        return 0;
    case InstanceCheck::NoAnswer:
        runtime::release_log(runtime::HeldLines::Drop);
        std::fputs("telvara: another Telvara holds this device root but does not answer\n", stderr);
        return 1;
    case InstanceCheck::Unsafe:
        runtime::release_log(runtime::HeldLines::Drop);
        std::fprintf(stderr,
                     "telvara: cannot start safely: %s.\n"
                     "The runtime folder must belong to you alone (mode 700), or another\n"
                     "Telvara could run on the same device root unseen. Remove or fix it, or\n"
                     "set XDG_RUNTIME_DIR to a folder of yours with mode 700.\n",
                     instance_note.c_str());
        return 1;
    case InstanceCheck::OnlyInstance:
        break;
    }
    runtime::release_log(runtime::HeldLines::Write);
    if (!instance_note.empty())
        std::fprintf(stderr, "telvara: %s\n", instance_note.c_str());

    log_step(u" start: 2\n");
    std::string display_error;
    GameBaseOptions game_options;
    game_options.display = make_display(options, display_error);
    if (!game_options.display) {
        std::fputs(no_display_message(display_error).c_str(), stderr);
        close_single_instance();
        return 1;
    }
    platform::VirtualClock clock;
    if (!options.script.empty() && !options.realtime)
        game_options.clock = &clock;

    int status = 0;
    {
        Application application(kApplicationName, std::move(game_options));
        GameBase& game = application.game();
        // The window exists: later starts are answered from here on, and a
        // termination signal closes it.
        open_instance_window(game.window());
        SignalWatch signal_watch(game.window());
        set_message_box_output(options.headless ? MessageBoxOutput::Headless
                                                : MessageBoxOutput::Window);
        game.set_direct_keyboard_input(false);
        game.set_windowed(TaskBar::Hidden);
        game.set_direct(game.read_screen_info().orientation);

        status = run_application(application, options, options.script.empty() ? nullptr : &script);
        close_single_instance();
        set_message_box_output(MessageBoxOutput::Headless);
    }
    runtime::log().flush();
    return status;
}

int telvara_main(int argc, const char* const* argv) {
    const ParsedOptions parsed = parse_options(argc, argv);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "telvara: %s\n\n%s", parsed.error.c_str(), usage_text().c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::fputs("telvara " TELVARA_VERSION "\n", stdout);
        return 0;
    }
    return win_main(parsed.options);
}

} // namespace telvara::app
