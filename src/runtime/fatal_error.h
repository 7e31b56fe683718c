#pragma once
// The end of the process on a programming error: misuse of the runtime, a
// second singleton, an impossible module path.

#include "platform/text.h"

namespace telvara::runtime {

// Logs "Gluck: " + what + " @ " + where, flushes the log, repeats the line on
// stderr and ends the process with exit status 1 (a failure, so that shells
// and tests see it).
[[noreturn]] void fatal_error(WStringView where, WStringView what);

} // namespace telvara::runtime
