#pragma once
// Helpers for the skin compiler tests: a temporary skin source folder with
// XML and art written on the fly, and compiling it.

#include "skinc/art.h"
#include "skinc/compile.h"
#include "skinc/xml_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace telvara::skinc::test {

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
    // A PNG under art/ where every pixel has the given RGBA.
    void write_png(const std::string& name, int width, int height,
                   const std::vector<std::array<std::uint8_t, 4>>& pixels) const {
        RgbaImage image;
        image.width = width;
        image.height = height;
        for (const auto& p : pixels)
            image.rgba.insert(image.rgba.end(), p.begin(), p.end());
        const auto file = m_path / "art" / (name + ".png");
        std::filesystem::create_directories(file.parent_path());
        skinc::write_png(file.string(), image);
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

// The error a source produces when read, or "" when it reads.
inline std::string read_error(const std::string& body) {
    try {
        read_skin_text("<skin>\n" + body + "</skin>\n", "s.xml", ".");
    } catch (const SourceError& error) {
        return error.what();
    }
    return "";
}

} // namespace telvara::skinc::test
