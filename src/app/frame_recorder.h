#pragma once
// The frame recorder, a debugging aid: every frame goes into a zip archive as
// a 16-bit BMP entry ("00000.bmp", "00001.bmp", ...), with the pen drawn as a
// cursor picture while it is down. Enabled by the presence of the cursor
// picture "\Temp\KelmaRecordPicture.bmp"; the archive is "\Temp\" + the
// program's name + ".zip". While it records, every frame advances exactly
// kRecordedFrameSeconds.

#include "display/display.h"
#include "ui/picture.h"
#include "ui/render_surface.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace telvara::app {

inline constexpr double kRecordedFrameSeconds = 0.04;

// A 16-bit BMP file of the frame (5-6-5 bit fields, rows bottom-up).
std::vector<std::uint8_t> encode_bmp565(const display::Frame565& frame);

class FrameRecorder {
  public:
    // Null when the archive cannot be created.
    static std::unique_ptr<FrameRecorder> create(const std::string& archive_path,
                                                 ui::Picture cursor = {});
    // The recorder the trigger picture asks for, or null.
    static std::unique_ptr<FrameRecorder> from_trigger_file();

    // Closes the archive (its central directory is written then).
    ~FrameRecorder();
    FrameRecorder(const FrameRecorder&) = delete;
    FrameRecorder& operator=(const FrameRecorder&) = delete;

    // The entry name of frame `index`: decimal, at least 5 digits.
    static std::string frame_name(std::uint32_t index);

    // Stores the frame as the next entry; false when writing failed.
    bool capture(const display::Frame565& frame);

    // Where the pen is; the cursor is drawn while it is down.
    void set_pen(bool down, std::int32_t x, std::int32_t y);

    std::uint32_t frame_count() const { return m_counter; }
    const std::string& path() const { return m_path; }

  private:
    FrameRecorder(void* zip, std::string path, ui::Picture cursor);

    void* m_zip = nullptr; // zipFile
    std::string m_path;
    ui::Picture m_cursor;
    ui::RenderSurface m_scratch; // the frame with the cursor on it
    std::uint32_t m_counter = 0;
    bool m_pen_down = false;
    std::int32_t m_pen_x = 0;
    std::int32_t m_pen_y = 0;
};

} // namespace telvara::app
