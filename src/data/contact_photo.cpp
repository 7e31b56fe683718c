// Photo decoding (libpng's simplified interface, libjpeg-turbo), the
// area-averaging scaler and the (oid, size) cache.
#include "data/contact_photo.h"

#include "data/contact_store.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

namespace telvara::data {

namespace {

bool too_large(std::uint64_t width, std::uint64_t height) {
    return width == 0 || height == 0 ||
           width * height > static_cast<std::uint64_t>(ui::kMaxPicturePixels);
}

std::optional<RgbImage> decode_png(std::span<const std::byte> bytes) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return std::nullopt;
    if (too_large(image.width, image.height)) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGB;
    RgbImage out;
    out.width = static_cast<std::int32_t>(image.width);
    out.height = static_cast<std::int32_t>(image.height);
    out.rgb.resize(std::size_t(out.width) * std::size_t(out.height) * 3);
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&image, &white, out.rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return out;
}

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to decode_jpeg. Nothing with a destructor lives in the frames
// it jumps over (they are libjpeg's), and decode_jpeg keeps what it changes
// after setjmp behind a pointer set before it.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jpeg_fail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void jpeg_silent(j_common_ptr) {}

struct JpegState {
    jpeg_decompress_struct info;
    JpegError error;
    RgbImage image;
    std::vector<std::uint8_t> row;
};

std::optional<RgbImage> decode_jpeg(std::span<const std::byte> bytes, std::int32_t min_side) {
    auto state = std::make_unique<JpegState>();
    JpegState* const s = state.get();
    std::memset(&s->info, 0, sizeof s->info);
    s->info.err = jpeg_std_error(&s->error.manager);
    s->error.manager.error_exit = jpeg_fail;
    s->error.manager.output_message = jpeg_silent;
    // Set before jpeg_create_decompress, which may fail too; destroying a
    // zeroed, never created decompressor is harmless.
    if (setjmp(s->error.jump)) {
        jpeg_destroy_decompress(&s->info);
        return std::nullopt;
    }
    jpeg_create_decompress(&s->info);
    jpeg_mem_src(&s->info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&s->info, TRUE);
    if (too_large(s->info.image_width, s->info.image_height)) {
        jpeg_destroy_decompress(&s->info);
        return std::nullopt;
    }
    // The DCT can drop detail for free: decode at the smallest scale that
    // still covers the size asked for.
    unsigned denom = 1;
    if (min_side > 0) {
        const auto min_side_u = static_cast<unsigned>(min_side);
        while (denom < 8 && s->info.image_width / (denom * 2) >= min_side_u &&
               s->info.image_height / (denom * 2) >= min_side_u)
            denom *= 2;
    }
    s->info.scale_num = 1;
    s->info.scale_denom = denom;
    const bool cmyk = s->info.jpeg_color_space == JCS_CMYK || s->info.jpeg_color_space == JCS_YCCK;
    s->info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&s->info);
    const auto width = s->info.output_width;
    const auto height = s->info.output_height;
    const int components = s->info.output_components;
    s->image.width = static_cast<std::int32_t>(width);
    s->image.height = static_cast<std::int32_t>(height);
    s->image.rgb.resize(std::size_t(width) * height * 3);
    s->row.resize(std::size_t(width) * static_cast<std::size_t>(components));
    // Adobe writes CMYK inverted.
    const bool inverted = s->info.saw_Adobe_marker;
    while (s->info.output_scanline < height) {
        JSAMPROW rows[1] = {s->row.data()};
        const auto y = s->info.output_scanline;
        if (jpeg_read_scanlines(&s->info, rows, 1) != 1)
            break;
        std::uint8_t* out = s->image.rgb.data() + std::size_t(y) * width * 3;
        if (!cmyk) {
            std::memcpy(out, s->row.data(), std::size_t(width) * 3);
            continue;
        }
        for (unsigned x = 0; x < width; ++x) {
            const std::uint8_t* p = &s->row[x * 4];
            unsigned c = p[0], m = p[1], yy = p[2], k = p[3];
            if (!inverted) {
                c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
            }
            out[x * 3] = static_cast<std::uint8_t>(c * k / 255);
            out[x * 3 + 1] = static_cast<std::uint8_t>(m * k / 255);
            out[x * 3 + 2] = static_cast<std::uint8_t>(yy * k / 255);
        }
    }
    jpeg_finish_decompress(&s->info);
    jpeg_destroy_decompress(&s->info);
    return std::move(s->image);
}

// For each target index, the source indexes it covers and their shares
// (summing to 1).
struct Taps {
    std::vector<std::int32_t> first; // per target: index into weights
    std::vector<std::int32_t> count;
    std::vector<std::int32_t> source;
    std::vector<float> weight;
};

// Enlarging, each target pixel mixes the two source pixels nearest its
// centre: averaging areas would copy every source pixel into a block.
Taps make_enlarging_taps(std::int32_t offset, std::int32_t length, std::int32_t target) {
    Taps taps;
    const double scale = double(length) / double(target);
    for (std::int32_t i = 0; i < target; ++i) {
        const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(length - 1));
        const auto near = static_cast<std::int32_t>(std::floor(centre));
        const double far_share = centre - near;
        taps.first.push_back(static_cast<std::int32_t>(taps.weight.size()));
        taps.source.push_back(offset + near);
        taps.weight.push_back(static_cast<float>(1.0 - far_share));
        std::int32_t n = 1;
        if (far_share > 0.0 && near + 1 < length) {
            taps.source.push_back(offset + near + 1);
            taps.weight.push_back(static_cast<float>(far_share));
            ++n;
        }
        taps.count.push_back(n);
    }
    return taps;
}

Taps make_taps(std::int32_t offset, std::int32_t length, std::int32_t target) {
    if (target > length)
        return make_enlarging_taps(offset, length, target);
    Taps taps;
    const double scale = double(length) / double(target);
    for (std::int32_t i = 0; i < target; ++i) {
        const double start = i * scale;
        const double end = std::min(double(length), (i + 1) * scale);
        taps.first.push_back(static_cast<std::int32_t>(taps.weight.size()));
        const auto from = static_cast<std::int32_t>(std::floor(start));
        const auto to = std::min(length, static_cast<std::int32_t>(std::ceil(end)));
        std::int32_t n = 0;
        for (std::int32_t s = from; s < to; ++s) {
            const double cover = std::min(end, double(s + 1)) - std::max(start, double(s));
            if (cover <= 0)
                continue;
            taps.source.push_back(offset + s);
            taps.weight.push_back(static_cast<float>(cover / (end - start)));
            ++n;
        }
        taps.count.push_back(n);
    }
    return taps;
}

std::uint8_t to_byte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value + 0.5f, 0.0f, 255.0f));
}

} // namespace

ImageFormat detect_image_format(std::span<const std::byte> bytes) {
    static constexpr std::uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), png, 8) == 0)
        return ImageFormat::png;
    if (bytes.size() >= 3 && bytes[0] == std::byte{0xFF} && bytes[1] == std::byte{0xD8} &&
        bytes[2] == std::byte{0xFF})
        return ImageFormat::jpeg;
    return ImageFormat::unknown;
}

std::optional<RgbImage> decode_image(std::span<const std::byte> bytes, std::int32_t min_side) {
    switch (detect_image_format(bytes)) {
    case ImageFormat::png:
        return decode_png(bytes);
    case ImageFormat::jpeg:
        return decode_jpeg(bytes, min_side);
    case ImageFormat::unknown:
        break;
    }
    return std::nullopt;
}

std::vector<std::byte> encode_png(const RgbImage& source) {
    std::vector<std::byte> out;
    if (source.width <= 0 || source.height <= 0 ||
        source.rgb.size() < std::size_t(source.width) * std::size_t(source.height) * 3)
        return out;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(source.width);
    image.height = static_cast<png_uint_32>(source.height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, source.rgb.data(), 0, nullptr))
        return out;
    out.resize(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, source.rgb.data(), 0, nullptr))
        out.clear();
    out.resize(size);
    return out;
}

ui::PixelBuffer scale_to_565(const RgbImage& image, std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1 || image.width < 1 || image.height < 1 ||
        image.rgb.size() < std::size_t(image.width) * std::size_t(image.height) * 3)
        return {};
    // The centre part with the target's aspect.
    std::int64_t crop_w = image.width, crop_h = image.height;
    if (crop_w * height > crop_h * width)
        crop_w = std::max<std::int64_t>(1, crop_h * width / height);
    else
        crop_h = std::max<std::int64_t>(1, crop_w * height / width);
    const auto x0 = static_cast<std::int32_t>((image.width - crop_w) / 2);
    const auto y0 = static_cast<std::int32_t>((image.height - crop_h) / 2);

    const Taps across = make_taps(x0, static_cast<std::int32_t>(crop_w), width);
    const Taps down = make_taps(y0, static_cast<std::int32_t>(crop_h), height);
    // Rows first: each source row of the crop averaged to `width` pixels.
    std::vector<float> rows(std::size_t(crop_h) * std::size_t(width) * 3);
    for (std::int64_t y = 0; y < crop_h; ++y) {
        const std::uint8_t* src = image.rgb.data() + std::size_t(y0 + y) * image.width * 3;
        float* dst = rows.data() + std::size_t(y) * width * 3;
        for (std::int32_t x = 0; x < width; ++x) {
            float r = 0, g = 0, b = 0;
            for (std::int32_t t = 0; t < across.count[x]; ++t) {
                const auto at = across.first[x] + t;
                const std::uint8_t* p = src + std::size_t(across.source[at]) * 3;
                const float w = across.weight[at];
                r += p[0] * w, g += p[1] * w, b += p[2] * w;
            }
            dst[x * 3] = r, dst[x * 3 + 1] = g, dst[x * 3 + 2] = b;
        }
    }
    ui::PixelBuffer out(width, height);
    std::vector<float> line(std::size_t(width) * 3);
    for (std::int32_t y = 0; y < height; ++y) {
        std::fill(line.begin(), line.end(), 0.0f);
        for (std::int32_t t = 0; t < down.count[y]; ++t) {
            const auto at = down.first[y] + t;
            const float* src = rows.data() + std::size_t(down.source[at] - y0) * width * 3;
            const float w = down.weight[at];
            for (std::size_t i = 0; i < line.size(); ++i)
                line[i] += src[i] * w;
        }
        ui::Pixel* dst = out.row(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const unsigned r = to_byte(line[x * 3]), g = to_byte(line[x * 3 + 1]),
                           b = to_byte(line[x * 3 + 2]);
            // Rounded to the nearest 5-6-5 level rather than truncated.
            auto pixel = static_cast<ui::Pixel>(((r * 31 + 127) / 255) << 11 |
                                                ((g * 63 + 127) / 255) << 5 | (b * 31 + 127) / 255);
            if (pixel == ui::kKeyColour)
                pixel ^= 1; // one step less blue rather than a transparent hole
            dst[x] = pixel;
        }
    }
    return out;
}

std::shared_ptr<const ui::Picture> make_photo_picture(std::span<const std::byte> bytes,
                                                      std::int32_t size) {
    if (size < 1)
        return nullptr;
    auto image = decode_image(bytes, size);
    if (!image)
        return nullptr;
    ui::PixelBuffer pixels = scale_to_565(*image, size, size);
    if (pixels.empty())
        return nullptr;
    auto picture = std::make_shared<ui::Picture>();
    picture->width = size;
    picture->height = size;
    picture->points = {ui::Point{0, 0}, ui::Point{0, 0}, ui::Point{size, size},
                       ui::Point{size, size}};
    picture->data = std::make_shared<const ui::PictureData>(ui::PictureData{{}, std::move(pixels)});
    return picture;
}

// --- ContactPhotoCache ------------------------------------------------------

ContactPhotoCache::ContactPhotoCache(Loader loader, std::size_t capacity)
    : m_loader(std::move(loader)), m_capacity(std::max<std::size_t>(1, capacity)) {}

ContactPhotoCache::ContactPhotoCache(ContactStore& store, std::size_t capacity)
    : ContactPhotoCache(
          [&store](std::uint32_t oid) {
              ContactRecord record;
              record.oid = oid;
              return store.get_picture(record);
          },
          capacity) {}

std::uint64_t ContactPhotoCache::key_of(std::uint32_t oid, std::int32_t size) {
    return (std::uint64_t(oid) << 32) | static_cast<std::uint32_t>(size);
}

std::shared_ptr<const ui::Picture> ContactPhotoCache::get(std::uint32_t oid, std::int32_t size) {
    if (oid == 0 || size < 1)
        return nullptr;
    const auto key = key_of(oid, size);
    if (auto found = m_index.find(key); found != m_index.end()) {
        m_entries.splice(m_entries.begin(), m_entries, found->second);
        return found->second->picture;
    }
    const std::vector<std::byte> bytes = m_loader(oid);
    auto picture = bytes.empty() ? nullptr : make_photo_picture(bytes, size);
    m_entries.push_front(Entry{key, picture});
    m_index[key] = m_entries.begin();
    while (m_entries.size() > m_capacity) {
        m_index.erase(m_entries.back().key);
        m_entries.pop_back();
    }
    return picture;
}

void ContactPhotoCache::invalidate(std::uint32_t oid) {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->key >> 32 == oid) {
            m_index.erase(it->key);
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

void ContactPhotoCache::clear() {
    m_entries.clear();
    m_index.clear();
}

} // namespace telvara::data
