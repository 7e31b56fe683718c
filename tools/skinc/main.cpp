// telvara-skinc: the skin compiler's command line. For now it lists compiled
// skins; compiling skin sources comes with the XML front end.
#include "skinc/dump.h"

#include <cstring>
#include <iostream>

namespace {

int usage() {
    std::cerr << "usage: telvara-skinc --dump [--no-pictures] FILE.skin\n"
                 "  --dump         list a compiled skin as text\n"
                 "  --no-pictures  do not load the pictures the skin names\n"
                 "(compiling skin sources is not available yet)\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using telvara::ui::PictureLoading;
    if (argc < 3 || std::strcmp(argv[1], "--dump") != 0)
        return usage();
    PictureLoading pictures = PictureLoading::Load;
    int at = 2;
    if (std::strcmp(argv[at], "--no-pictures") == 0) {
        pictures = PictureLoading::Skip;
        ++at;
    }
    if (at + 1 != argc)
        return usage();
    std::string error;
    if (!telvara::skinc::dump_skin(argv[at], std::cout, &error, pictures)) {
        std::cerr << "telvara-skinc: " << error << "\n";
        return 1;
    }
    return 0;
}
