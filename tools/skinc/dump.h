#pragma once
// "telvara-skinc --dump": a compiled skin as readable text, loaded through the
// program's own loader so that whatever it refuses is refused here too.

#include "ui/properties.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace telvara::skinc {

// Nodes a whole listing shows at most, over every top-level node; each
// top-level node also stops at the loader's own budget (kMaxNodesPerLoad).
inline constexpr std::size_t kMaxDumpNodes = 1u << 20;

// How a listing ended. A damaged file (child lists pointing back at an
// ancestor, or more nodes than the budget) is listed as far as it can be;
// `stopped` then says where the listing left nodes out, one line each.
struct DumpResult {
    std::vector<std::string> stopped;
    bool complete() const { return stopped.empty(); }
};

// Loads `file` (a Linux file name) and writes header, pictures, fonts,
// strings and every top-level node with its properties and children to
// `out`. False with a one-line reason in *error when the file is refused;
// `result`, when given, tells where a damaged tree was cut.
bool dump_skin(const std::string& file, std::ostream& out, std::string* error,
               ui::SkinResources resources = ui::SkinResources::All, DumpResult* result = nullptr);

// The same for a skin already loaded.
DumpResult dump_skin(const ui::PropertiesImpl& skin, std::ostream& out);

// "telvara-skinc --dump [--no-pictures] FILE": the listing on `out`. 0 when
// the whole tree was listed; 1 when the file is refused or its tree is
// damaged (the reason, or where the listing stopped, on `err`); 2 for
// arguments it does not take (nothing written).
int dump_command(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace telvara::skinc
