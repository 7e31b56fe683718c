#pragma once
// Test-only: writes a 16-bit surface as a PNG (stored, uncompressed deflate)
// so that animation frames can be looked at. Frames are written only when
// TELVARA_FRAME_DIR names a folder.

#include "ui/render_surface.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace telvara::ui::test {

inline std::uint32_t png_crc(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

inline void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(std::uint8_t(v >> s));
}

inline void png_chunk(std::vector<std::uint8_t>& out, const char* type,
                      const std::vector<std::uint8_t>& data) {
    put_be32(out, std::uint32_t(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    put_be32(out, png_crc(body.data(), body.size(), 0xFFFFFFFFu) ^ 0xFFFFFFFFu);
}

// False when no folder is set or the file cannot be written.
inline bool write_frame_png(const RenderSurface& surface, const std::string& name) {
    const char* folder = std::getenv("TELVARA_FRAME_DIR");
    if (!folder || surface.empty())
        return false;
    const auto width = std::uint32_t(surface.width());
    const auto height = std::uint32_t(surface.height());
    std::vector<std::uint8_t> raw;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        const Pixel* row = surface.row(std::int32_t(y));
        for (std::uint32_t x = 0; x < width; ++x) {
            const Pixel p = row[x];
            const int r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
            raw.push_back(std::uint8_t((r << 3) | (r >> 2)));
            raw.push_back(std::uint8_t((g << 2) | (g >> 4)));
            raw.push_back(std::uint8_t((b << 3) | (b >> 2)));
        }
    }
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(std::uint8_t(n));
        z.push_back(std::uint8_t(n >> 8));
        z.push_back(std::uint8_t(~n));
        z.push_back(std::uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + std::ptrdiff_t(at), raw.begin() + std::ptrdiff_t(at + n));
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_be32(z, (b << 16) | a);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    put_be32(header, width);
    put_be32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    png_chunk(png, "IHDR", header);
    png_chunk(png, "IDAT", z);
    png_chunk(png, "IEND", {});
    std::ofstream file(std::string(folder) + "/" + name + ".png", std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    return bool(file);
}

} // namespace telvara::ui::test
