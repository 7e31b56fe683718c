#pragma once
// The skin compiler: a source read by the XML reader becomes the binary skin
// (one file, the same for every scale) and its pictures, rendered once per
// scale_shift into that scale's picture folder.
//
// Output layout for skin <name> compiled into OUT:
//   OUT/<name>.skin                      picture names are "<name>/<picture>"
//   OUT/<name>/<picture>.bmp             scale_shift 0 (design resolution)
//   OUT/@2x/<name>/<picture>.bmp         scale_shift 1; @4x for 2, and so on
// A program running at scale_shift S therefore loads OUT/<name>.skin and looks
// its pictures up under OUT/ + picture_folder(S).

#include "skinc/art.h"
#include "skinc/skin_writer.h"
#include "skinc/xml_reader.h"

#include <string>
#include <vector>

namespace telvara::skinc {

// "" for shift 0, "@2x/" for 1, "@4x/" for 2 ... (with its trailing slash).
std::string picture_folder(unsigned scale_shift);

struct CompileOptions {
    std::string source;
    std::string out_dir;
    std::vector<unsigned> scale_shifts{0};
    std::string rsvg_convert = "rsvg-convert";
    // A palette file (see palette.h): the skin is compiled recoloured and
    // named after the palette; art/ beside the palette holds the skin's own
    // pictures, taken as they are instead of the source's.
    std::string palette;
    // The compiled skin's name when not the source's or the palette's: one
    // palette recolours several sources (the screens and the splash).
    std::string name;
};

struct CompileResult {
    std::string skin_file;
    std::vector<std::string> picture_files;
};

// One picture a skin uses, with its source file and size in design pixels.
struct ArtSource {
    PictureSettings settings; // declared, or the defaults
    std::string file;         // the SVG or PNG
    bool svg = false;
    int width = 0;
    int height = 0;
    bool mask_used = false;  // "<name>#mask" is referred to
    int line = 0;            // first use
    bool own = false;        // from the palette skin's own art: never recoloured
    std::string render_file; // what is rasterised when not `file` (recoloured SVG)
};

struct CompiledModel {
    SkinModel model;            // picture table: each art, then its mask if used
    std::vector<ArtSource> art; // in order of first use
};

// The writer's model with every picture reference resolved against the art's
// design size; fonts and strings deduplicated. A picture found under
// own_art_folder/art/ is taken from there. Throws SourceError.
CompiledModel build_model(const SourceSkin& skin, const std::string& own_art_folder = {});

// Reads, checks, renders and writes. Throws SourceError (with file and line)
// or std::runtime_error for files it cannot write.
CompileResult compile_skin(const CompileOptions& options);

// The command line: "SOURCE.xml -o OUT_DIR [--scale-shift N]... [--palette
// FILE]". Returns the exit status; errors go to stderr.
int compile_command(int argc, char** argv);

// Usage lines of the compile mode.
const char* compile_usage();

} // namespace telvara::skinc
