// The frame recorder: exact 0.04 s frames, entry names, and archives whose
// entries are valid 16-bit BMPs of the presented frames.
#include "app/frame_recorder.h"
#include "shell_test_support.h"
#include "ui/picture.h"
#include <cstddef>
#include <gtest/gtest.h>
#include <minizip/unzip.h>
namespace telvara::test_support {
namespace {
using forms::Animate;
using forms::ShowMode;
struct Entry {
    std::string name;
    std::vector<std::uint8_t> bytes;
};
std::vector<Entry> read_archive(const std::string& path) {
    std::vector<Entry> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip)
        return entries;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[256] = {};
        unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        Entry entry{name, std::vector<std::uint8_t>(info.uncompressed_size)};
        unzOpenCurrentFile(zip);
        const int read = unzReadCurrentFile(zip, entry.bytes.data(), unsigned(entry.bytes.size()));
        unzCloseCurrentFile(zip);
        if (read != int(entry.bytes.size()))
            entry.bytes.clear();
        entries.push_back(std::move(entry));
    }
    unzClose(zip);
    return entries;
}
std::optional<ui::PixelBuffer> decode(const std::vector<std::uint8_t>& bytes) {
    return ui::decode_bmp565(
        std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()));
}
class RecordingTest : public ApplicationTest {};
TEST_F(RecordingTest, EveryFrameAdvancesExactlyFortyMillisecondsAndIsStored) {
    EXPECT_EQ(app::FrameRecorder::create("/nonexistent-folder/x.zip"), nullptr);
    const std::string archive = root() + "/frames.zip";
    auto recorder = app::FrameRecorder::create(archive);
    ASSERT_TRUE(recorder);
    game().set_recorder(std::move(recorder));
    auto form = colour_form({255, 0, 0, 255});
    application().show_form(*form, ShowMode::Push, Animate::No);
    ASSERT_TRUE(game().advance(30)); // 10 ms frames, each counted as 0.04 s
    clock().advance(3000);
    game().frame_step(app::SkipIdle::Yes); // a stall changes nothing either
    EXPECT_EQ(form->updates, std::vector(4, 0.04));
    EXPECT_FALSE(game().recorder()->capture({})) << "a frame without pixels is none";
    EXPECT_TRUE(app::encode_bmp565({}).empty());
    EXPECT_EQ(game().recorder()->frame_count(), 4u);
    game().set_recorder(nullptr); // closes the archive
    const auto entries = read_archive(archive);
    ASSERT_EQ(entries.size(), 4u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name, app::FrameRecorder::frame_name(std::uint32_t(i)));
        const auto picture = decode(entries[i].bytes);
        ASSERT_TRUE(picture) << entries[i].name;
        EXPECT_EQ(std::pair(picture->width(), picture->height()), std::pair(kWidth, kHeight));
    }
    // A frame is captured before the update that draws the next: the first
    // one is the empty screen, the later ones the red form.
    EXPECT_EQ(decode(entries[3].bytes)->row(0)[0], 0xF800);
    EXPECT_EQ(entries[1].name, "00001.bmp");
    // Five digits, then as many as it takes.
    EXPECT_EQ(app::FrameRecorder::frame_name(99999) + app::FrameRecorder::frame_name(100000),
              "99999.bmp100000.bmp");
}
} // namespace
} // namespace telvara::test_support
