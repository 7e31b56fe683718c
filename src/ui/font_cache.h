#pragma once
// The process-wide font cache: equal descriptions share one FontRep for the
// whole run, so skins and nodes asking for the same font never create it twice.

#include "ui/font.h"

#include <cstddef>

namespace telvara::ui {

// The cached font for the description, created and appended on first use.
// Safe from the start-up worker and the UI thread at once.
FontHandle font_for(const FontDescription& description);

// Number of fonts created so far.
std::size_t font_cache_size();

} // namespace telvara::ui
