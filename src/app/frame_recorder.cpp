// The frame recorder over minizip.
#include "app/frame_recorder.h"

#include "runtime/paths.h"
#include "ui/blender.h"

#include <minizip/zip.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace telvara::app {

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = std::uint8_t(value);
    out[at + 1] = std::uint8_t(value >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
constexpr std::size_t kMasks = 12;
constexpr std::size_t kPixelsAt = kFileHeader + kInfoHeader + kMasks;

} // namespace

std::vector<std::uint8_t> encode_bmp565(const display::Frame565& frame) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0)
        return {};
    const std::size_t row = (std::size_t(frame.width) * 2 + 3) & ~std::size_t(3);
    const std::size_t image = row * std::size_t(frame.height);
    std::vector<std::uint8_t> out(kPixelsAt + image, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, std::uint32_t(out.size()));
    put32(out, 10, std::uint32_t(kPixelsAt));
    put32(out, 14, std::uint32_t(kInfoHeader));
    put32(out, 18, std::uint32_t(frame.width));
    put32(out, 22, std::uint32_t(frame.height)); // positive: bottom-up rows
    put16(out, 26, 1);                           // planes
    put16(out, 28, 16);                          // bits per pixel
    put32(out, 30, 3);                           // BI_BITFIELDS
    put32(out, 34, std::uint32_t(image));
    put32(out, 38, 2835); // 72 dpi
    put32(out, 42, 2835);
    put32(out, 54, 0xF800);
    put32(out, 58, 0x07E0);
    put32(out, 62, 0x001F);
    for (std::int32_t y = 0; y < frame.height; ++y) {
        std::uint8_t* dst = out.data() + kPixelsAt + std::size_t(frame.height - 1 - y) * row;
        const std::uint16_t* src = frame.row(y);
        for (std::int32_t x = 0; x < frame.width; ++x) {
            dst[2 * x] = std::uint8_t(src[x]);
            dst[2 * x + 1] = std::uint8_t(src[x] >> 8);
        }
    }
    return out;
}

std::unique_ptr<FrameRecorder> FrameRecorder::create(const std::string& archive_path,
                                                     ui::Picture cursor) {
    zipFile zip = zipOpen64(archive_path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return nullptr;
    return std::unique_ptr<FrameRecorder>(new FrameRecorder(zip, archive_path, std::move(cursor)));
}

std::unique_ptr<FrameRecorder> FrameRecorder::from_trigger_file() {
    const std::string trigger = runtime::file_path(u"\\Temp\\KelmaRecordPicture.bmp");
    if (::access(trigger.c_str(), R_OK) != 0)
        return nullptr;
    ui::Picture cursor = ui::load_picture(trigger.substr(0, trigger.size() - 4));
    const WString archive = u"\\Temp\\" + runtime::expand_path(u"%app_name%") + u".zip";
    return create(runtime::file_path(archive), std::move(cursor));
}

FrameRecorder::FrameRecorder(void* zip, std::string path, ui::Picture cursor)
    : m_zip(zip), m_path(std::move(path)), m_cursor(std::move(cursor)) {}

FrameRecorder::~FrameRecorder() {
    zipClose(static_cast<zipFile>(m_zip), nullptr);
}

std::string FrameRecorder::frame_name(std::uint32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "%05u.bmp", unsigned(index));
    return name;
}

void FrameRecorder::set_pen(bool down, std::int32_t x, std::int32_t y) {
    m_pen_down = down;
    m_pen_x = x;
    m_pen_y = y;
}

bool FrameRecorder::capture(const display::Frame565& frame) {
    display::Frame565 stored = frame;
    if (m_pen_down && m_cursor.has_data() && frame.pixels) {
        // The cursor goes onto a copy: the back buffer stays the program's.
        m_scratch.resize(frame.width, frame.height);
        for (std::int32_t y = 0; y < frame.height; ++y)
            std::memcpy(m_scratch.row(y), frame.row(y), std::size_t(frame.width) * 2);
        const ui::Point at{m_pen_x - m_cursor.width / 2, m_pen_y - m_cursor.height / 2};
        ui::draw_picture(m_scratch, at, {m_cursor.width, m_cursor.height}, m_cursor,
                         ui::key_blender());
        stored = {reinterpret_cast<const std::uint16_t*>(m_scratch.row(0)), m_scratch.width(),
                  m_scratch.height(), m_scratch.pitch()};
    }
    const std::vector<std::uint8_t> bmp = encode_bmp565(stored);
    if (bmp.empty())
        return false;
    zip_fileinfo info{};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    info.tmz_date.tm_sec = unsigned(local.tm_sec);
    info.tmz_date.tm_min = unsigned(local.tm_min);
    info.tmz_date.tm_hour = unsigned(local.tm_hour);
    info.tmz_date.tm_mday = unsigned(local.tm_mday);
    info.tmz_date.tm_mon = unsigned(local.tm_mon);
    info.tmz_date.tm_year = unsigned(local.tm_year + 1900);
    auto* zip = static_cast<zipFile>(m_zip);
    const std::string name = frame_name(m_counter);
    if (zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_BEST_SPEED, 0) != ZIP_OK)
        return false;
    const bool written = zipWriteInFileInZip(zip, bmp.data(), unsigned(bmp.size())) == ZIP_OK;
    const bool closed = zipCloseFileInZip(zip) == ZIP_OK;
    if (!written || !closed)
        return false;
    ++m_counter;
    return true;
}

} // namespace telvara::app
