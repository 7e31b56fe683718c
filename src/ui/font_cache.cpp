// The font cache: an ordered list of (description, font) searched front to
// back. Skins hold a handful of fonts, so a list beats any index.
#include "ui/font_cache.h"

#include <mutex>
#include <utility>
#include <vector>

namespace telvara::ui {

namespace {

struct FontCache {
    std::mutex mutex;
    std::vector<std::pair<FontDescription, FontHandle>> fonts;
};

FontCache& cache() {
    static FontCache instance;
    return instance;
}

} // namespace

FontHandle font_for(const FontDescription& description) {
    FontCache& fonts = cache();
    std::lock_guard lock(fonts.mutex);
    for (const auto& [known, font] : fonts.fonts)
        if (known == description)
            return font;
    // Created under the lock: two threads asking for the same new font must
    // get one FontRep, and creation is rare (once per description per run).
    auto font = std::make_shared<FontRep>(description);
    fonts.fonts.emplace_back(description, font);
    return font;
}

std::size_t font_cache_size() {
    FontCache& fonts = cache();
    std::lock_guard lock(fonts.mutex);
    return fonts.fonts.size();
}

} // namespace telvara::ui
