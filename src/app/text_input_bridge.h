#pragma once
// Connects the edit boxes' text-input service to the application: a focused
// field starts text input (the window's input panel), typed characters come
// back to the service, and losing the focus stops it.

#include "app/application_listener.h"
#include "ui/text_input_service.h"

namespace telvara::app {

class Application;

class TextInputBridge final : public ui::TextInputBackend, public TextInputFocus {
  public:
    // Installs itself as the service's backend for its lifetime.
    explicit TextInputBridge(Application& application);
    ~TextInputBridge();
    TextInputBridge(const TextInputBridge&) = delete;
    TextInputBridge& operator=(const TextInputBridge&) = delete;

    void start_text_input(const ui::Rect& area) override;
    void update_text_input(const ui::Rect& area) override;
    void stop_text_input() override;
    void on_text_input(WStringView text) override;

  private:
    Application& m_application;
};

} // namespace telvara::app
