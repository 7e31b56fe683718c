// One keystroke on the main screen with 1,000 / 10,000 / 100,000 generated
// contacts: from the key to the drawn frame of the narrowed list (the keypad
// takes the digit, the Document filters, the list rebinds its rows and the
// whole 240 x 320 screen is laid out and drawn), for the first digit (every
// contact is tested) and a second one (the previous result narrowed), and
// for letters from a keyboard.
#include "data/contact_source.h"
#include "data/document.h"
#include "data/test_contacts.h"
#include "forms/form_host.h"
#include "forms/main_form.h"
#include "runtime/paths.h"
#include "ui/key_names.h"
#include "ui/node_registry.h"
#include "ui/properties.h"
#include "ui/render_surface.h"
#include "ui/widget_registry.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

using namespace telvara;

// The generated contacts, from memory.
class Generated final : public data::ContactSource {
  public:
    explicit Generated(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            m_records.push_back(data::make_test_contact(i));
            m_records.back().oid = static_cast<std::uint32_t>(i + 1);
        }
    }
    std::size_t load_contacts(std::vector<data::ContactRecord>& out) override {
        out = m_records;
        return out.size();
    }
    bool read_contact(data::ContactRecord& record) override {
        if (record.oid == 0 || record.oid > m_records.size())
            return false;
        record = m_records[record.oid - 1];
        return true;
    }
    void load_categories(std::vector<WString>& out) override { out.clear(); }

  private:
    std::vector<data::ContactRecord> m_records;
};

// The form stack of the application, reduced to the main screen.
class Host final : public forms::FormHost {
  public:
    Host() { forms::set_form_host(this); }
    ~Host() { forms::set_form_host(nullptr); }
    void show_form(forms::Form&, forms::ShowMode, forms::Animate) override {}
    bool close_form(forms::Form&, forms::Animate) override { return false; }
    bool is_shown(const forms::Form&) const override { return false; }
    forms::Form* top_form() const override { return nullptr; }
    void set_dirty() override {}
    void minimize_window() override {}
    void set_overlay(forms::OverlaySlot, forms::Form*, const forms::Form*) override {}
    forms::Form* overlay(forms::OverlaySlot) const override { return nullptr; }
};

struct Screen {
    explicit Screen(std::size_t contacts) : store(contacts) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "bench-key-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        runtime::set_device_root(pattern);
        auto& registry = ui::NodeRegistry::instance();
        if (!registry.contains(u"node"))
            ui::register_layout_node_types(registry);
        if (!registry.contains(u"button"))
            ui::register_widget_node_types(registry);
        const std::string folder = TELVARA_PROGRAM_SKINS;
        std::ifstream in(folder + "/default.skin", std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        impl = std::make_unique<ui::PropertiesImpl>(std::move(bytes), folder, u"default.skin", 0);
        if (!impl->is_loaded() || !skin.install(*impl))
            std::abort();
        document = std::make_unique<data::Document>(
            store, nullptr,
            data::DocumentFiles{TELVARA_PROGRAM_DIR "/keyboard.txt", pattern + "/favorits.dat"});
        document->load();
        form = std::make_unique<forms::MainForm>(skin);
        surface.resize(240, 320);
        key(ui::key::Digit0 + 5); // opens the keypad
        for (int i = 0; i < 20; ++i)
            frame(0.05);
        key(ui::key::Backspace);
        frame(0.05);
    }
    void key(std::int32_t code) {
        form->on_key({code, true, true});
        form->on_key({code, false, true});
    }
    void frame(double seconds = 1.0 / 60) {
        form->update(seconds);
        form->fit_to_screen(240, 320);
        form->layout_x();
        form->layout_y();
        form->draw_form(surface);
    }

    Generated store;
    Host host;
    ui::Properties skin;
    std::unique_ptr<ui::PropertiesImpl> impl;
    std::unique_ptr<data::Document> document;
    std::unique_ptr<forms::MainForm> form;
    ui::RenderSurface surface;
};

Screen& screen_of(std::size_t contacts) {
    // Kept to the end of the process: its fonts and skin outlive the
    // benchmarks' own statics.
    static std::unique_ptr<Screen>& screen = *new std::unique_ptr<Screen>;
    if (!screen || screen->document->contact_count() != contacts) {
        screen.reset();
        screen = std::make_unique<Screen>(contacts);
    }
    return *screen;
}

// Types `first` then `second` (0 for none); the timed key is the last one.
void run(benchmark::State& state, std::int32_t first, std::int32_t second) {
    Screen& s = screen_of(static_cast<std::size_t>(state.range(0)));
    std::size_t listed = 0;
    for (auto _ : state) {
        if (second != 0) {
            state.PauseTiming();
            s.key(first);
            s.frame();
            state.ResumeTiming();
        }
        s.key(second != 0 ? second : first);
        s.frame();
        benchmark::DoNotOptimize(s.surface.row(100));
        state.PauseTiming();
        listed = s.document->filtered_count();
        s.key(ui::key::Backspace);
        if (second != 0)
            s.key(ui::key::Backspace);
        s.frame();
        state.ResumeTiming();
    }
    state.counters["listed"] = static_cast<double>(listed);
}

void BM_FirstDigitToFrame(benchmark::State& state) {
    run(state, ui::key::Digit0 + 5, 0);
}
BENCHMARK(BM_FirstDigitToFrame)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SecondDigitToFrame(benchmark::State& state) {
    run(state, ui::key::Digit0 + 5, ui::key::Digit0 + 6);
}
BENCHMARK(BM_SecondDigitToFrame)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_LetterToFrame(benchmark::State& state) {
    run(state, ui::key::A + 9, ui::key::A + 14); // "j", then "o"
}
BENCHMARK(BM_LetterToFrame)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A frame with nothing typed, for comparison: what drawing alone costs.
void BM_FrameOnly(benchmark::State& state) {
    Screen& s = screen_of(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        s.frame();
}
BENCHMARK(BM_FrameOnly)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace
