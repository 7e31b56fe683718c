// telvara-skinc: the skin compiler's command line: compiles skin sources, or
// lists a compiled skin with --dump.
#include "skinc/compile.h"
#include "skinc/dump.h"

#include <cstring>
#include <iostream>

namespace {

void print_usage(std::ostream& out) {
    out << "usage: telvara-skinc --dump [--no-pictures] FILE.skin\n"
           "  --dump         list a compiled skin as text; a damaged node tree is\n"
           "                 listed as far as it goes, where it stops is said on\n"
           "                 standard error, and the status is 1\n"
           "  --no-pictures  do not load the pictures the skin names\n"
        << telvara::skinc::compile_usage()
        << "usage: telvara-skinc --help | --version\n"
           "  --help         this text\n"
           "  --version      the program's name and version\n";
}

int usage() {
    print_usage(std::cerr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        print_usage(std::cout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "telvara-skinc " TELVARA_VERSION "\n";
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--dump") != 0)
        return telvara::skinc::compile_command(argc, argv);
    if (argc < 3)
        return usage();
    const int status = telvara::skinc::dump_command(argc, argv, std::cout, std::cerr);
    return status == 2 ? usage() : status;
}
