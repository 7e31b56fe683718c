// Start-up message boxes.
#include "app/message_box.h"

#include "platform/clock.h"
#include "runtime/log.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace telvara::app {

namespace {

std::atomic<MessageBoxOutput> g_output = MessageBoxOutput::Headless;
std::atomic<bool> g_open = false;

// One line per line of the text, each prefixed with the title, so that the
// message stands out in a terminal or a test log.
void print(const std::string& title, const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            std::fprintf(stderr, "%s: %.*s\n", title.c_str(), int(end - start),
                         text.c_str() + start);
        start = end + 1;
    }
    std::fflush(stderr);
}

} // namespace

void set_message_box_output(MessageBoxOutput output) {
    g_output = output;
}

void show_message_box(WStringView text, WStringView title) {
    const std::string title8 = to_utf8(title);
    const std::string text8 = to_utf8(text);
    runtime::log() << platform::tick_count() << u" MessageBox [" << title << u"] " << text
                   << (text.empty() || text.back() != u'\n' ? u"\n" : u"");
    print(title8, text8);
    if (g_output != MessageBoxOutput::Window)
        return;
    g_open = true;
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title8.c_str(), text8.c_str(), nullptr) != 0)
        runtime::log() << platform::tick_count() << u" MessageBox failed: "
                       << from_utf8(SDL_GetError()) << u"\n";
    g_open = false;
}

bool message_box_open() {
    return g_open;
}

void raise_message_box() {
    // SDL's box runs its own modal loop on the UI thread and offers no way to
    // raise it from elsewhere; window managers keep it above our window.
    runtime::log() << platform::tick_count() << u" MessageBox raise requested\n";
}

} // namespace telvara::app
