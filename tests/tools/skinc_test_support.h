#pragma once
// Helpers for the skin compiler tests: a temporary skin source folder with
// XML and art written on the fly, and compiling it.

#include "skinc/art.h"
#include "skinc/compile.h"
#include "skinc/xml_reader.h"
#include "ui/picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace telvara::skinc::test {

// A temporary skin source folder; compiled skins go to out/ inside it.
class SourceFolder {
  public:
    SourceFolder() {
        static int counter = 0;
        m_path =
            std::filesystem::temp_directory_path() /
            ("telvara-skinc-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(m_path / "art");
    }
    ~SourceFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    SourceFolder(const SourceFolder&) = delete;
    SourceFolder& operator=(const SourceFolder&) = delete;
    std::string path() const { return m_path.string(); }
    std::string out() const { return (m_path / "out").string(); }
    std::string write(const std::string& name, const std::string& text) const {
        const auto file = m_path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    // A skin source "<name>.xml" made of `body` inside <skin>.
    std::string write_skin(const std::string& body, const std::string& name = "test") const {
        return write(name + ".xml", "<skin>\n" + body + "</skin>\n");
    }
    // A PNG under art/ with the given RGBA pixels, row by row.
    void write_png(const std::string& name, int width, int height,
                   const std::vector<std::array<std::uint8_t, 4>>& pixels) const {
        RgbaImage image{.width = width, .height = height, .rgba = {}};
        for (const auto& p : pixels)
            image.rgba.insert(image.rgba.end(), p.begin(), p.end());
        skinc::write_png((m_path / "art" / (name + ".png")).string(), image);
    }
    CompileResult compile(const std::string& source, std::vector<unsigned> shifts = {0}) const {
        CompileOptions options;
        options.source = source;
        options.out_dir = out();
        options.scale_shifts = std::move(shifts);
        return compile_skin(options);
    }

  private:
    std::filesystem::path m_path;
};

inline std::vector<std::uint8_t> file_bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every pixel of a compiled picture, row by row.
inline std::vector<ui::Pixel> pixels_of(const std::string& bmp_without_extension) {
    const ui::Picture picture = ui::load_picture(bmp_without_extension);
    std::vector<ui::Pixel> out;
    for (int y = 0; picture.data && y < picture.data->pixels.height(); ++y)
        for (int x = 0; x < picture.data->pixels.width(); ++x)
            out.push_back(picture.data->pixels.row(y)[x]);
    return out;
}

// Runs the compiler's command line; its standard error goes to `err`.
inline int run_skinc(std::vector<std::string> args, std::string* err = nullptr) {
    args.insert(args.begin(), "telvara-skinc");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    ::testing::internal::CaptureStderr();
    const int status = compile_command(int(argv.size()), argv.data());
    const std::string text = ::testing::internal::GetCapturedStderr();
    if (err != nullptr)
        *err = text;
    return status;
}

// What `run` throws, or "" when it throws nothing.
template <typename Run> std::string error_of(Run run) {
    try {
        run();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

// The error a source produces when read, or "" when it reads.
inline std::string read_error(const std::string& body) {
    return error_of([&] { read_skin_text("<skin>\n" + body + "</skin>\n", "s.xml", "."); });
}

} // namespace telvara::skinc::test
