// From source model to binary skin and pictures, and the compile command line.
#include "skinc/compile.h"

#include "skinc/palette.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <unistd.h>

namespace telvara::skinc {

namespace fs = std::filesystem;

std::string picture_folder(unsigned scale_shift) {
    if (scale_shift == 0)
        return "";
    return "@" + std::to_string(1u << scale_shift) + "x/";
}

namespace {

constexpr std::string_view kMaskSuffix = ".mask";

class ModelBuilder {
  public:
    ModelBuilder(const SourceSkin& skin, const std::string& own_art_folder)
        : m_skin(skin), m_own_art(own_art_folder) {
        for (const PictureSettings& settings : skin.pictures)
            m_declared.emplace(settings.name, &settings);
    }

    CompiledModel build() {
        for (const auto& [name, node] : m_skin.nodes)
            collect(node);
        check_pictures();
        for (const auto& [name, node] : m_skin.nodes)
            m_out.model.nodes.push_back({from_utf8(name), convert(node)});
        return std::move(m_out);
    }

  private:
    [[noreturn]] void fail(int line, const std::string& message) const {
        throw SourceError(m_skin.file, line, message);
    }

    // The node's properties plus the mask an image gets from a "src" picture
    // made with transparency="mask" when it names none itself.
    std::vector<SourceProperty> effective(const SourceNode& node) const {
        std::vector<SourceProperty> properties = node.properties;
        const SourceProperty* src = node.find("src");
        if (src && src->kind == PropertyKind::Picture && !node.find("mask")) {
            const PictureUse& use = std::get<PictureUse>(src->value);
            const auto declared = m_declared.find(use.picture);
            if (!use.mask && declared != m_declared.end() &&
                declared->second->transparency == Transparency::Mask) {
                SourceProperty mask = *src;
                mask.name = "mask";
                std::get<PictureUse>(mask.value).mask = true;
                properties.push_back(std::move(mask));
            }
        }
        return properties;
    }

    ArtSource& art_for(const std::string& name, int line) {
        if (const auto it = m_art_index.find(name); it != m_art_index.end())
            return m_out.art[it->second];
        ArtSource art;
        art.line = line;
        if (const auto it = m_declared.find(name); it != m_declared.end())
            art.settings = *it->second;
        else
            art.settings.name = name;
        const fs::path folder(m_skin.folder);
        if (const std::string own = own_art(name); !own.empty()) {
            art.file = own;
            art.own = true;
        } else if (!art.settings.source.empty()) {
            const fs::path file = folder / art.settings.source;
            if (!fs::is_regular_file(file))
                fail(art.settings.line, "picture source " + file.string() + " does not exist");
            art.file = file.string();
        } else {
            const fs::path svg = folder / "art" / (name + ".svg");
            const fs::path png = folder / "art" / (name + ".png");
            const bool has_svg = fs::is_regular_file(svg);
            const bool has_png = fs::is_regular_file(png);
            if (has_svg && has_png)
                fail(line, "picture \"" + name + "\" has both " + svg.string() + " and " +
                               png.string() + "; keep one or name it with <picture source=...>");
            if (!has_svg && !has_png)
                fail(line, "picture \"" + name + "\" has no source: expected " + svg.string() +
                               " or " + png.string());
            art.file = (has_svg ? svg : png).string();
        }
        art.svg = fs::path(art.file).extension() == ".svg";
        try {
            if (art.svg) {
                const ArtSize size = svg_size(art.file);
                art.width = size.width;
                art.height = size.height;
            } else {
                const RgbaImage image = read_png(art.file);
                art.width = image.width;
                art.height = image.height;
            }
        } catch (const ArtError& error) {
            fail(line, error.what());
        }
        if (!m_own_art.empty() && !art.svg && !art.own)
            fail(line, "picture \"" + name + "\" is a PNG (" + art.file +
                           "), which a palette cannot recolour: draw it for this skin as " +
                           (fs::path(m_own_art) / "art" / (name + ".svg")).string() + " or .png");
        m_art_index.emplace(name, m_out.art.size());
        m_out.art.push_back(std::move(art));
        return m_out.art.back();
    }

    // The palette skin's own picture for `name`, or "".
    std::string own_art(const std::string& name) const {
        if (m_own_art.empty())
            return "";
        const fs::path base = fs::path(m_own_art) / "art" / name;
        for (const char* extension : {".svg", ".png"}) {
            fs::path file = base;
            file += extension;
            if (fs::is_regular_file(file))
                return file.string();
        }
        return "";
    }

    void collect(const SourceNode& node) {
        const std::vector<SourceProperty> properties = effective(node);
        for (const SourceProperty& property : properties) {
            if (property.kind != PropertyKind::Picture)
                continue;
            const PictureUse& use = std::get<PictureUse>(property.value);
            ArtSource& art = art_for(use.picture, property.line);
            if (use.mask) {
                if (art.settings.transparency != Transparency::Mask)
                    fail(property.line, "\"" + use.picture + "#mask\" needs <picture name=\"" +
                                            use.picture + "\" transparency=\"mask\"/>");
                art.mask_used = true;
            }
        }
        // Pictures drawn with a constant alpha must not carry the opaque mark.
        const SourceProperty* alpha = node.find("alpha");
        const SourceProperty* src = node.find("src");
        if (alpha && src && alpha->kind == PropertyKind::Integer &&
            std::get<std::uint32_t>(alpha->value) < 0xFFFFFFFFu &&
            src->kind == PropertyKind::Picture)
            art_for(std::get<PictureUse>(src->value).picture, src->line).settings.blend = true;
        for (const SourceNode& child : node.children)
            collect(child);
    }

    void check_pictures() {
        for (const PictureSettings& settings : m_skin.pictures)
            if (!m_art_index.count(settings.name))
                fail(settings.line, "picture \"" + settings.name +
                                        "\" is described but no node "
                                        "uses it");
        for (const ArtSource& art : m_out.art)
            if (art.mask_used && m_art_index.count(art.settings.name + std::string(kMaskSuffix)))
                fail(art.line, "picture \"" + art.settings.name + std::string(kMaskSuffix) +
                                   "\" collides with the mask made from \"" + art.settings.name +
                                   "\"");
    }

    std::uint32_t picture_index(const std::string& file_name) {
        const auto [it, fresh] =
            m_picture_index.emplace(file_name, std::uint32_t(m_out.model.pictures.size()));
        if (fresh)
            m_out.model.pictures.push_back(from_utf8(m_skin.name + "/" + file_name));
        return it->second;
    }

    std::uint32_t font_index(const std::string& description) {
        const auto [it, fresh] =
            m_font_index.emplace(description, std::uint32_t(m_out.model.fonts.size()));
        if (fresh)
            m_out.model.fonts.push_back(from_utf8(description));
        return it->second;
    }

    PictureValue resolve(const PictureUse& use, int line) {
        const ArtSource& art = m_out.art[m_art_index.at(use.picture)];
        const std::uint32_t w = std::uint32_t(art.width);
        const std::uint32_t h = std::uint32_t(art.height);
        PictureValue value;
        value.flag = use.flag;
        value.picture =
            picture_index(use.mask ? use.picture + std::string(kMaskSuffix) : use.picture);
        std::uint32_t x[4] = {0, 0, w, w};
        std::uint32_t y[4] = {0, 0, h, h};
        if (use.slice.size() == 4) {
            // Insets: left top right bottom.
            if (use.slice[0] + use.slice[2] > w || use.slice[1] + use.slice[3] > h)
                fail(line, "slice insets are larger than picture \"" + use.picture + "\" (" +
                               std::to_string(w) + "x" + std::to_string(h) + ")");
            x[1] = use.slice[0];
            x[2] = w - use.slice[2];
            y[1] = use.slice[1];
            y[2] = h - use.slice[3];
        } else if (use.slice.size() == 8) {
            for (int i = 0; i < 4; ++i) {
                x[i] = use.slice[std::size_t(2 * i)];
                y[i] = use.slice[std::size_t(2 * i + 1)];
            }
            if (x[3] > w || y[3] > h)
                fail(line, "slice reaches beyond picture \"" + use.picture + "\" (" +
                               std::to_string(w) + "x" + std::to_string(h) + ")");
        }
        for (int i = 0; i < 4; ++i) {
            value.x[i] = std::uint16_t(x[i]);
            value.y[i] = std::uint16_t(y[i]);
        }
        return value;
    }

    NodeModel convert(const SourceNode& node) {
        NodeModel out;
        for (const SourceProperty& property : effective(node)) {
            const WString name = from_utf8(property.name);
            switch (property.kind) {
            case PropertyKind::Integer:
                out.integers.emplace_back(name, std::get<std::uint32_t>(property.value));
                break;
            case PropertyKind::Font:
                out.fonts.emplace_back(name, font_index(std::get<std::string>(property.value)));
                break;
            case PropertyKind::Point:
                out.points.emplace_back(name, std::get<PointValue>(property.value));
                break;
            case PropertyKind::String:
                out.strings.emplace_back(name, m_out.model.intern_string(from_utf8(
                                                   std::get<std::string>(property.value))));
                break;
            case PropertyKind::Picture:
                out.pictures.emplace_back(
                    name, resolve(std::get<PictureUse>(property.value), property.line));
                break;
            case PropertyKind::Colour:
                out.colors.emplace_back(name, std::get<ColorValue>(property.value));
                break;
            }
        }
        for (const SourceNode& child : node.children)
            out.children.push_back(convert(child));
        return out;
    }

    const SourceSkin& m_skin;
    std::string m_own_art;
    std::map<std::string, const PictureSettings*> m_declared;
    std::map<std::string, std::size_t> m_art_index;
    std::map<std::string, std::uint32_t> m_picture_index;
    std::map<std::string, std::uint32_t> m_font_index;
    CompiledModel m_out;
};

RgbaImage render(const ArtSource& art, unsigned shift, const std::string& rsvg_convert) {
    const int factor = 1 << shift;
    if (art.svg)
        return rasterise_svg(art.render_file.empty() ? art.file : art.render_file,
                             art.width * factor, art.height * factor, rsvg_convert);
    return scale_up(read_png(art.file), factor);
}

// Removes the pictures an earlier build left in this skin's folder, so that a
// renamed picture does not linger.
void remove_old_pictures(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return;
    std::vector<fs::path> old;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().extension() == ".bmp")
            old.push_back(entry.path());
    for (const fs::path& file : old)
        fs::remove(file, error);
}

// A folder of the recoloured SVG art, gone with the compile.
class RecolouredArt {
  public:
    RecolouredArt() {
        static int counter = 0;
        m_folder =
            fs::temp_directory_path() / ("telvara-skinc-palette-" + std::to_string(::getpid()) +
                                         "-" + std::to_string(counter++));
        fs::create_directories(m_folder);
    }
    ~RecolouredArt() {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    RecolouredArt(const RecolouredArt&) = delete;
    RecolouredArt& operator=(const RecolouredArt&) = delete;

    // Recolours every SVG that is not the skin's own; all of them before any
    // is rendered, so an unmapped colour stops the compile before it writes.
    void prepare(const SourceSkin& skin, std::vector<ArtSource>& art, const Palette& palette) {
        int index = 0;
        for (ArtSource& picture : art) {
            if (picture.own || !picture.svg)
                continue;
            std::ifstream in(picture.file, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            std::string recoloured;
            try {
                recoloured = recolour_svg(text, palette, picture.settings.name);
            } catch (const PaletteError& error) {
                throw SourceError(skin.file, picture.line, picture.file + ": " + error.what());
            }
            picture.render_file = (m_folder / (std::to_string(index++) + ".svg")).string();
            write_file(picture.render_file,
                       std::vector<std::uint8_t>(recoloured.begin(), recoloured.end()));
        }
    }

  private:
    fs::path m_folder;
};

} // namespace

CompiledModel build_model(const SourceSkin& skin, const std::string& own_art_folder) {
    return ModelBuilder(skin, own_art_folder).build();
}

CompileResult compile_skin(const CompileOptions& options) {
    SourceSkin skin = read_skin_source(options.source);
    std::optional<Palette> palette;
    std::string own_art_folder;
    if (!options.palette.empty()) {
        palette = Palette::read(options.palette);
        recolour_skin(skin, *palette);
        const fs::path file(options.palette);
        skin.name = file.stem().string();
        own_art_folder = file.parent_path().empty() ? "." : file.parent_path().string();
    }
    if (!options.name.empty())
        skin.name = options.name;
    CompiledModel compiled = build_model(skin, own_art_folder);
    RecolouredArt recoloured;
    if (palette)
        recoloured.prepare(skin, compiled.art, *palette);
    const WriteResult written = write_skin(compiled.model);
    if (!written.ok())
        throw SourceError(skin.file, 1, written.error);

    CompileResult result;
    const fs::path out(options.out_dir);
    for (unsigned shift : options.scale_shifts) {
        const fs::path folder = out / picture_folder(shift) / skin.name;
        remove_old_pictures(folder);
        for (const ArtSource& art : compiled.art) {
            ConvertedPicture picture;
            try {
                const RgbaImage image = render(art, shift, options.rsvg_convert);
                if (std::int64_t(image.width) * image.height > ui::kMaxPicturePixels)
                    throw ArtError(art.file + ": too large at scale " + std::to_string(1 << shift));
                picture = convert_picture(image, art.settings);
            } catch (const ArtError& error) {
                throw SourceError(skin.file, art.line, error.what());
            }
            const std::string base = (folder / art.settings.name).string();
            write_file(base + ".bmp", encode_bmp565(picture.colour));
            result.picture_files.push_back(base + ".bmp");
            if (art.mask_used && picture.mask) {
                write_file(base + std::string(kMaskSuffix) + ".bmp", encode_bmp565(*picture.mask));
                result.picture_files.push_back(base + std::string(kMaskSuffix) + ".bmp");
            }
        }
    }
    // The skin last: once it is there, its pictures are too.
    result.skin_file = (out / (skin.name + ".skin")).string();
    write_file(result.skin_file, written.bytes);
    return result;
}

const char* compile_usage() {
    return "usage: telvara-skinc SOURCE.xml -o OUT_DIR [--scale-shift N]... [--rsvg PROGRAM]\n"
           "                     [--palette FILE] [--name NAME]\n"
           "  compiles SOURCE.xml into OUT_DIR/<name>.skin (<name> = the source's base name)\n"
           "  and renders its pictures (art/<picture>.svg or .png beside the source) as\n"
           "  16-bit BMP files, once per --scale-shift (default 0; repeat for more):\n"
           "    shift 0: OUT_DIR/<name>/<picture>.bmp        (design resolution)\n"
           "    shift N: OUT_DIR/@<2^N>x/<name>/<picture>.bmp (e.g. @2x for 1)\n"
           "  The .skin file is the same at every shift; a program at scale_shift N\n"
           "  looks the skin's pictures up in the shift's folder.\n"
           "  --palette FILE compiles SOURCE.xml recoloured as the skin <palette name>:\n"
           "  each line of FILE is \"FROM TO [WHERE...]\" or \"keep WHERE...\", WHERE\n"
           "  being type:GLOB, in:GLOB (a node id or an ancestor's) or picture:GLOB;\n"
           "  every colour of the source and its SVG art must be named, and art/ beside\n"
           "  FILE may hold the skin's own pictures.\n"
           "  --name NAME writes OUT_DIR/NAME.skin and its pictures under NAME.\n";
}

int compile_command(int argc, char** argv) {
    CompileOptions options;
    bool shifts_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "-o" && has_value) {
            options.out_dir = argv[++i];
        } else if (arg == "--scale-shift" && has_value) {
            const std::string value = argv[++i];
            if (value.size() != 1 || value[0] < '0' || value[0] > '3') {
                std::cerr << "telvara-skinc: --scale-shift takes 0 to 3\n";
                return 2;
            }
            if (!shifts_given)
                options.scale_shifts.clear();
            shifts_given = true;
            const unsigned shift = unsigned(value[0] - '0');
            if (std::find(options.scale_shifts.begin(), options.scale_shifts.end(), shift) ==
                options.scale_shifts.end())
                options.scale_shifts.push_back(shift);
        } else if (arg == "--palette" && has_value) {
            options.palette = argv[++i];
        } else if (arg == "--name" && has_value) {
            options.name = argv[++i];
            if (options.name.empty() || options.name.find_first_of("/\\.") != std::string::npos) {
                std::cerr << "telvara-skinc: --name takes a file name without a folder or dot\n";
                return 2;
            }
        } else if (arg == "--rsvg" && has_value) {
            options.rsvg_convert = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && options.source.empty()) {
            options.source = arg;
        } else {
            std::cerr << compile_usage();
            return 2;
        }
    }
    if (options.source.empty() || options.out_dir.empty()) {
        std::cerr << compile_usage();
        return 2;
    }
    try {
        compile_skin(options);
    } catch (const std::exception& error) {
        std::cerr << "telvara-skinc: " << error.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace telvara::skinc
