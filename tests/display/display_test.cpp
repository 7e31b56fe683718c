// The headless presenter, the PNG writer (decoded back with libpng) and the
// SDL window on SDL's dummy video driver.
#include "display/headless_display.h"
#include "display/png_writer.h"
#include "display/sdl_display.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace telvara::display {
namespace {

// A frame with padded rows (pitch larger than 2 x width), as the back buffer has.
struct TestFrame {
    std::int32_t width, height, pitch;
    std::vector<std::uint16_t> words;
    TestFrame(std::int32_t w, std::int32_t h)
        : width(w), height(h), pitch((w * 2 + 3) & ~3), words(std::size_t(pitch / 2) * h, 0) {}
    std::uint16_t& at(std::int32_t x, std::int32_t y) {
        return words[std::size_t(y) * std::size_t(pitch / 2) + std::size_t(x)];
    }
    Frame565 view() const { return {words.data(), width, height, pitch}; }
};

struct RecordingSink : EventSink {
    std::vector<std::pair<int, int>> resizes;
    void on_key(std::int32_t, KeyAction) override {}
    void on_text(std::string_view) override {}
    void on_pointer(PointerAction, std::int32_t, std::int32_t) override {}
    void on_capture_lost() override {}
    void on_activate(bool) override {}
    void on_resize(std::int32_t w, std::int32_t h) override { resizes.emplace_back(w, h); }
    void on_close() override {}
};

std::string temp_file(const char* name) {
    return (std::filesystem::temp_directory_path() /
            ("telvara-display-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

TEST(HeadlessDisplay, PresentsOnlyWhenOpenAndKeepsACopyOfTheLastFrame) {
    HeadlessDisplay display({3, 2, 96, 0});
    TestFrame frame(3, 2);
    frame.at(2, 1) = 0xF800;
    EXPECT_FALSE(display.present(frame.view()));
    EXPECT_EQ(display.frames_presented(), 0u);
    ASSERT_TRUE(display.open(3, 2));
    EXPECT_TRUE(display.is_ready());
    EXPECT_TRUE(display.present(frame.view()));
    frame.at(2, 1) = 0x001F; // the copy does not follow the caller's buffer
    EXPECT_EQ(display.last_frame().width, 3);
    EXPECT_EQ(display.last_frame().at(2, 1), 0xF800);
    EXPECT_EQ(display.last_frame().at(0, 0), 0);
    EXPECT_EQ(display.frames_presented(), 1u);
    display.close();
    EXPECT_FALSE(display.present(frame.view()));
    EXPECT_TRUE(display.paint(frame.view())) << "windowed painting needs no open display";
    EXPECT_EQ(display.last_frame().at(2, 1), 0x001F);
    EXPECT_FALSE(display.open(0, 5));
}

TEST(HeadlessDisplay, ScreenResizeIsReportedAndDeliveredOnce) {
    HeadlessDisplay display({240, 320, 96, 0});
    RecordingSink sink;
    EXPECT_FALSE(display.pump_events(sink, std::chrono::milliseconds(5)));
    display.resize_screen(320, 240);
    EXPECT_EQ(display.metrics().width, 320);
    EXPECT_EQ(display.metrics().height, 240);
    EXPECT_TRUE(display.pump_events(sink, {}));
    EXPECT_FALSE(display.pump_events(sink, {}));
    EXPECT_EQ(sink.resizes, (std::vector<std::pair<int, int>>{{320, 240}}));
    EXPECT_FALSE(display.has_event_source());
}

TEST(PngWriter, DecodesBackToTheWidenedPixels) {
    const struct {
        std::uint16_t pixel;
        Rgb8 rgb;
    } full_scale[] = {{0xFFFF, {255, 255, 255}},
                      {0x0000, {0, 0, 0}},
                      {0xF800, {255, 0, 0}},
                      {0x07E0, {0, 255, 0}}};
    for (const auto& f : full_scale)
        EXPECT_EQ(widen_565(f.pixel), f.rgb) << f.pixel;
    TestFrame frame(5, 3);
    const std::uint16_t samples[] = {0x0000, 0xFFFF, 0xF800, 0x07E0, 0x001F, 0x8410, 0x1234};
    for (int i = 0; i < 15; ++i)
        frame.at(i % 5, i / 5) = samples[i % 7];
    const std::string path = temp_file("shot.png");
    ASSERT_TRUE(write_png(path, frame.view()));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    std::remove(path.c_str());
    ASSERT_EQ(image.width, 5u);
    ASSERT_EQ(image.height, 3u);
    for (int i = 0; i < 15; ++i) {
        const Rgb8 want = widen_565(frame.at(i % 5, i / 5));
        EXPECT_EQ((Rgb8{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]}), want) << i;
    }
}

TEST(PngWriter, RefusesWhatItCannotWrite) {
    TestFrame frame(2, 2);
    EXPECT_FALSE(write_png("/nonexistent-folder/x.png", frame.view()));
    const std::string path = temp_file("empty.png");
    EXPECT_FALSE(write_png(path, Frame565{}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SdlDisplay, PresentsThroughAStreamingTextureOnTheDummyDriver) {
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::string error;
    auto display = SdlDisplay::create({"test", 48, 64, 192}, &error);
    if (!display)
        GTEST_SKIP() << "no SDL video: " << error;
    EXPECT_EQ(display->metrics().width, 48);
    EXPECT_EQ(display->metrics().height, 64);
    EXPECT_EQ(display->metrics().dpi, 192);
    TestFrame frame(48, 64);
    EXPECT_FALSE(display->present(frame.view()));
    ASSERT_TRUE(display->open(48, 64));
    EXPECT_TRUE(display->present(frame.view()));
    display->set_text_input(false);
    EXPECT_FALSE(display->text_input());
    RecordingSink sink;
    display->pump_events(sink, {});
    display->close();
    EXPECT_FALSE(display->is_ready());
    EXPECT_TRUE(display->paint(frame.view()));
}

} // namespace
} // namespace telvara::display
