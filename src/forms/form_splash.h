#pragma once
// FormSplash: the first screen. It shows the splash skin's "FormSplash" node
// while its worker thread builds the heavy objects (contact data, main skin,
// main form), then hands the main form to the form stack and closes itself.

#include "forms/form.h"
#include "forms/worker_thread.h"
#include "platform/text.h"

#include <memory>
#include <string>

namespace telvara::forms {

// How long the splash stays: RealTime lets the worker rest 500 ms first and
// hands over as soon as it has ended; Virtual (scripted runs on a virtual
// clock) hands over at the first frame at which half a second of frame time
// has passed, waiting there for the worker, so that the frame of the
// hand-over never depends on the machine's speed.
enum class SplashPacing { RealTime, Virtual };

enum class StartFailure { None, NoSkins, NoMainForm };

// The objects the worker builds and how they reach the application. The
// build steps run on the worker thread in this order; the UI-thread steps
// only after the worker has ended. The work owns what it builds and lives as
// long as the splash form.
class SplashWork {
  public:
    virtual ~SplashWork() = default;

    // Worker thread.
    virtual void create_document() = 0;
    // The start-up choice of the main skin; false when none loads.
    virtual bool select_skin() = 0;
    // Builds the main form (may throw when the skin lacks its nodes).
    virtual void create_main_form() = 0;
    // The main form once built, else null. The work keeps it.
    virtual Form* main_form() = 0;
    // The main form becomes the application's listener.
    virtual void attach_main_form() = 0;
    virtual void load_document() = 0;

    // UI thread.
    // Lays the main form out for the current screen, just before it is shown.
    virtual void prepare_main_form() = 0;
    // After show_form: hands over a non-empty command line, raises the window.
    virtual void main_form_shown(WStringView command_line) = 0;
    // The start cannot go on: tells the user and ends the application.
    virtual void start_failed(StartFailure failure, const std::string& detail) = 0;
};

class FormSplash final : public Form, private Thread {
  public:
    // Loads "FormSplash" from the splash skin (throws
    // vadode::NodeNotFoundInSkin when it is missing).
    FormSplash(const ui::Properties& splash_skin, std::unique_ptr<SplashWork> work,
               WString command_line, SplashPacing pacing = SplashPacing::RealTime);
    ~FormSplash() override;

    using Thread::is_running;
    using Thread::start;

    void update(double seconds) override;

    double splash_time() const { return m_splash_time; }
    bool handed_over() const { return m_handed_over; }
    SplashWork& work() { return *m_work; }

  private:
    void run() override;
    void hand_over();

    std::unique_ptr<SplashWork> m_work;
    WString m_command_line;
    SplashPacing m_pacing;
    double m_splash_time = 0;
    bool m_handed_over = false;
    // Written by the worker, read after it ended.
    StartFailure m_failure = StartFailure::None;
    std::string m_failure_detail;
};

} // namespace telvara::forms
