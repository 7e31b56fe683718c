// telvara-skinc: the skin compiler's command line: compiles skin sources, or
// lists a compiled skin with --dump.
#include "skinc/compile.h"
#include "skinc/dump.h"

#include <cstring>
#include <iostream>

namespace {

int usage() {
    std::cerr << "usage: telvara-skinc --dump [--no-pictures] FILE.skin\n"
                 "  --dump         list a compiled skin as text\n"
                 "  --no-pictures  do not load the pictures the skin names\n"
              << telvara::skinc::compile_usage();
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--dump") != 0)
        return telvara::skinc::compile_command(argc, argv);
    using telvara::ui::SkinResources;
    if (argc < 3 || std::strcmp(argv[1], "--dump") != 0)
        return usage();
    SkinResources resources = SkinResources::All;
    int at = 2;
    if (std::strcmp(argv[at], "--no-pictures") == 0) {
        resources = SkinResources::NoPictures;
        ++at;
    }
    if (at + 1 != argc)
        return usage();
    std::string error;
    if (!telvara::skinc::dump_skin(argv[at], std::cout, &error, resources)) {
        std::cerr << "telvara-skinc: " << error << "\n";
        return 1;
    }
    return 0;
}
