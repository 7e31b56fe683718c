// PNG through libpng's simplified interface, SVG through rsvg-convert, and
// the 5-6-5 conversion with its transparency rules.
#include "skinc/art.h"

#include "ui/colour.h"

#include <png.h>
#include <pugixml.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace telvara::skinc {

namespace {

// 4 x 4 ordered-dither thresholds 0..15.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

constexpr std::uint16_t kGreenMark = 0x0020; // the blenders' "opaque" bit

std::uint16_t to_565(int r, int g, int b, int x, int y, bool dither) {
    if (!dither)
        return ui::to_565(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b));
    // Adds a threshold below one step, so the average over the pattern is the
    // exact value and multiples of a step stay unchanged.
    const int m = kBayer[y & 3][x & 3];
    const int r5 = std::min(31, (16 * r + 8 * m + 4) >> 7);
    const int g6 = std::min(63, (16 * g + 4 * m + 2) >> 6);
    const int b5 = std::min(31, (16 * b + 8 * m + 4) >> 7);
    return std::uint16_t((r5 << 11) | (g6 << 5) | b5);
}

std::optional<double> svg_length(const char* text) {
    if (!text || !*text)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    const std::string unit = end;
    if (end == text || !(unit.empty() || unit == "px") || !(value > 0))
        return std::nullopt;
    return value;
}

} // namespace

RgbaImage read_png(const std::string& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        throw ArtError(file + ": not a readable PNG (" + image.message + ")");
    image.format = PNG_FORMAT_RGBA;
    if (std::uint64_t(image.width) * image.height > (std::uint64_t(1) << 24)) {
        png_image_free(&image);
        throw ArtError(file + ": picture too large");
    }
    RgbaImage out;
    out.width = int(image.width);
    out.height = int(image.height);
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        const std::string message = image.message;
        png_image_free(&image);
        throw ArtError(file + ": " + message);
    }
    return out;
}

void write_png(const std::string& file, const RgbaImage& source) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(source.width);
    image.height = png_uint_32(source.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, file.c_str(), 0, source.rgba.data(), 0, nullptr))
        throw ArtError(file + ": cannot write PNG (" + image.message + ")");
}

ArtSize svg_size(const std::string& file) {
    pugi::xml_document document;
    if (!document.load_file(file.c_str()))
        throw ArtError(file + ": not a readable SVG file");
    const pugi::xml_node svg = document.document_element();
    if (std::string_view(svg.name()) != "svg")
        throw ArtError(file + ": the root element is not <svg>");
    std::optional<double> width = svg_length(svg.attribute("width").value());
    std::optional<double> height = svg_length(svg.attribute("height").value());
    if (!width || !height) {
        double box[4] = {};
        std::string text = svg.attribute("viewBox").value();
        for (char& c : text)
            if (c == ',')
                c = ' ';
        char* at = text.data();
        int count = 0;
        for (; count < 4; ++count) {
            char* end = nullptr;
            box[count] = std::strtod(at, &end);
            if (end == at)
                break;
            at = end;
        }
        if (count != 4 || !(box[2] > 0) || !(box[3] > 0))
            throw ArtError(file + ": give the SVG a width and height in px (or a viewBox): "
                                  "they are its size in design pixels");
        width = box[2];
        height = box[3];
    }
    const ArtSize size{int(std::ceil(*width - 1e-6)), int(std::ceil(*height - 1e-6))};
    if (size.width > 4096 || size.height > 4096)
        throw ArtError(file + ": larger than 4096 design pixels");
    return size;
}

RgbaImage rasterise_svg(const std::string& file, int width, int height,
                        const std::string& program) {
    namespace fs = std::filesystem;
    static int counter = 0;
    const fs::path temporary =
        fs::temp_directory_path() /
        ("telvara-skinc-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".png");
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    const std::string out = temporary.string();
    std::vector<std::string> args = {program, "-w", w, "-h", h, "-f", "png", "-o", out, file};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        program.find('/') == std::string::npos
            ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
            : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawned != 0)
        throw ArtError(file + ": cannot run " + program + " (install librsvg2-bin)");
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    struct Remove {
        fs::path path;
        ~Remove() {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    } remove{temporary};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw ArtError(file + ": " + program + " failed to render it");
    RgbaImage image = read_png(out);
    if (image.width != width || image.height != height)
        throw ArtError(file + ": rendered at " + std::to_string(image.width) + "x" +
                       std::to_string(image.height) + " instead of " + w + "x" + h);
    return image;
}

RgbaImage scale_up(const RgbaImage& image, int factor) {
    if (factor == 1)
        return image;
    RgbaImage out;
    out.width = image.width * factor;
    out.height = image.height * factor;
    out.rgba.resize(std::size_t(out.width) * std::size_t(out.height) * 4);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const std::uint8_t* from = image.at(x / factor, y / factor);
            std::copy(from, from + 4, out.rgba.begin() + (std::ptrdiff_t(y) * out.width + x) * 4);
        }
    return out;
}

ConvertedPicture convert_picture(const RgbaImage& image, const PictureSettings& settings) {
    ConvertedPicture out;
    out.colour.width = image.width;
    out.colour.height = image.height;
    out.colour.pixels.resize(std::size_t(image.width) * std::size_t(image.height));
    const bool with_mask = settings.transparency == Transparency::Mask;
    if (with_mask) {
        out.mask.emplace();
        out.mask->width = image.width;
        out.mask->height = image.height;
        out.mask->pixels.resize(out.colour.pixels.size());
    }
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.at(x, y);
            int r = p[0], g = p[1], b = p[2];
            const int a = p[3];
            const std::size_t i = std::size_t(y) * std::size_t(image.width) + std::size_t(x);
            if (with_mask) {
                // The blender reads the green field as the weight.
                const int g6 = (a * 63 + 127) / 255;
                const int rb5 = (a * 31 + 127) / 255;
                out.mask->pixels[i] = std::uint16_t((rb5 << 11) | (g6 << 5) | rb5);
            }
            bool opaque = a == 255;
            switch (settings.transparency) {
            case Transparency::Key:
                if (a < settings.threshold) {
                    out.colour.pixels[i] = ui::kKeyColour;
                    continue;
                }
                opaque = true;
                break;
            case Transparency::Backdrop:
                if (a == 0) {
                    out.colour.pixels[i] = ui::kKeyColour;
                    continue;
                }
                r = (r * a + settings.backdrop.red * (255 - a) + 127) / 255;
                g = (g * a + settings.backdrop.green * (255 - a) + 127) / 255;
                b = (b * a + settings.backdrop.blue * (255 - a) + 127) / 255;
                opaque = true;
                break;
            case Transparency::Mask:
                if (a == 0) {
                    out.colour.pixels[i] = ui::kKeyColour;
                    continue;
                }
                break;
            }
            std::uint16_t pixel = to_565(r, g, b, x, y, settings.dither);
            // A marked pixel ignores mask and alpha: only opaque ones keep the mark.
            if (!opaque || settings.blend)
                pixel &= std::uint16_t(~kGreenMark);
            // An opaque pixel must not read as transparent.
            if (pixel == ui::kKeyColour)
                pixel = (!opaque || settings.blend) ? std::uint16_t(0xF01F)
                                                    : std::uint16_t(ui::kKeyColour | kGreenMark);
            out.colour.pixels[i] = pixel;
        }
    return out;
}

std::vector<std::uint8_t> encode_bmp565(const Image565& image) {
    constexpr std::size_t kHeaders = 14 + 40 + 12; // file, info, three bit masks
    const std::size_t stride = std::size_t((16 * image.width + 31) / 32 * 4);
    std::vector<std::uint8_t> out(kHeaders + stride * std::size_t(image.height), 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        out[at] = std::uint8_t(v);
        out[at + 1] = std::uint8_t(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, std::uint32_t(out.size()));
    put32(10, std::uint32_t(kHeaders));
    put32(14, 40);
    put32(18, std::uint32_t(image.width));
    put32(22, std::uint32_t(image.height)); // positive: bottom-up
    put16(26, 1);
    put16(28, 16);
    put32(30, 3); // BI_BITFIELDS
    put32(34, std::uint32_t(stride * std::size_t(image.height)));
    put32(38, 2835); // 72 dpi
    put32(42, 2835);
    put32(54, 0xF800);
    put32(58, 0x07E0);
    put32(62, 0x001F);
    for (int y = 0; y < image.height; ++y) {
        const std::size_t row = kHeaders + stride * std::size_t(image.height - 1 - y);
        for (int x = 0; x < image.width; ++x)
            put16(row + 2 * std::size_t(x),
                  image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)]);
    }
    return out;
}

void write_file(const std::string& file, const std::vector<std::uint8_t>& bytes) {
    namespace fs = std::filesystem;
    const fs::path path(file);
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    // Written beside and renamed, so a reader never sees half a file.
    const fs::path temporary = path.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out)
            throw ArtError(file + ": cannot write");
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error)
        throw ArtError(file + ": cannot write (" + error.message() + ")");
}

} // namespace telvara::skinc
