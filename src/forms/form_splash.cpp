// The splash form and its worker.
#include "forms/form_splash.h"

#include "forms/form_host.h"
#include "platform/clock.h"
#include "runtime/log.h"

#include <chrono>
#include <exception>
#include <thread>

namespace telvara::forms {

namespace {

using namespace std::chrono_literals;

// The splash stands for at least this long, and from then on each frame of a
// real-time run yields to the worker.
constexpr double kMinimumSplash = 0.5;

void log_line(const char16_t* text) {
    runtime::log() << platform::tick_count() << text;
}

} // namespace

FormSplash::FormSplash(const ui::Properties& splash_skin, std::unique_ptr<SplashWork> work,
                       WString command_line, SplashPacing pacing)
    : Form(u"FormSplash"), m_work(std::move(work)), m_command_line(std::move(command_line)),
      m_pacing(pacing) {
    load_form(splash_skin);
}

FormSplash::~FormSplash() {
    // The worker uses this object and the work; both outlive it.
    wait();
}

void FormSplash::run() {
    if (m_pacing == SplashPacing::RealTime)
        std::this_thread::sleep_for(500ms);
    try {
        m_work->create_document();
        if (!m_work->select_skin()) {
            m_failure = StartFailure::NoSkins;
            return;
        }
        log_line(u" start: run: 2\n");
        m_work->create_main_form();
        log_line(u" start: run: 3\n");
        m_work->attach_main_form();
        log_line(u" start: run: 4\n");
        m_work->load_document();
        log_line(u" start: run: 5\n");
    } catch (const std::exception& error) {
        // A skin without the main form's nodes, or data that cannot be read:
        // the UI thread reports it instead of the process dying here. Once the
        // main form exists the start goes on with what was loaded.
        m_failure_detail = error.what();
        runtime::log() << platform::tick_count() << u" start: run: failed: "
                       << from_utf8(m_failure_detail) << u"\n";
        if (m_work->main_form() == nullptr)
            m_failure = StartFailure::NoMainForm;
    }
}

void FormSplash::update(double seconds) {
    Form::update(seconds);
    m_splash_time += seconds;
    if (m_handed_over)
        return;
    if (m_pacing == SplashPacing::RealTime) {
        if (is_running()) {
            if (m_splash_time > kMinimumSplash)
                std::this_thread::sleep_for(100ms);
            return;
        }
    } else if (m_splash_time < kMinimumSplash) {
        return;
    }
    hand_over();
}

void FormSplash::hand_over() {
    m_handed_over = true;
    wait(); // a virtual-time run may get here while the worker still works
    log_line(u" WinMain 10\n");
    FormHost* host = form_host();
    Form* main = m_failure == StartFailure::None ? m_work->main_form() : nullptr;
    if (main != nullptr) {
        m_work->prepare_main_form();
        if (host != nullptr)
            host->show_form(*main, ShowMode::Push, Animate::Yes);
        m_work->main_form_shown(m_command_line);
    } else {
        m_work->start_failed(m_failure == StartFailure::None ? StartFailure::NoMainForm : m_failure,
                             m_failure_detail);
    }
    if (host != nullptr)
        host->close_form(*this, Animate::Yes);
}

} // namespace telvara::forms
