#include "runtime/fatal_error.h"

#include "runtime/log.h"

#include <cstdio>
#include <cstdlib>

namespace telvara::runtime {

void fatal_error(WStringView where, WStringView what) {
    log() << u"Gluck: " << what << u" @ " << where << u"\n";
    log().flush();
    std::fprintf(stderr, "Gluck: %s @ %s\n", to_utf8(what).c_str(), to_utf8(where).c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace telvara::runtime
