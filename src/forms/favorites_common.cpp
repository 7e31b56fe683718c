// Favourite texts, the round-photo cache and the listener both layouts share.
#include "forms/favorites_common.h"
#include "forms/write_notice.h"

#include "data/contact_entry.h"
#include "data/contact_photo.h"
#include "data/document.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/colour.h"
#include "ui/image_node.h"
#include "ui/properties.h"

#include <unordered_set>
#include <utility>
#include <vector>

namespace telvara::forms {

namespace {

constexpr ui::Pixel kOpaqueMark = 0x0020;
// What a marked magenta becomes, as the skin compiler does it.
constexpr ui::Pixel kNearKey = 0xF01F;

std::uint64_t key_of(std::uint32_t oid, std::int32_t size) {
    return (std::uint64_t{oid} << 32) | std::uint32_t(size);
}

bool is_field_type(std::int32_t value) {
    return value >= 0 && value <= static_cast<std::int32_t>(data::FieldType::Unknown);
}

} // namespace

FavoriteTexts favorite_texts(const data::Favorite& favorite, const ui::Properties& skin) {
    FavoriteTexts texts;
    if (favorite.entry == nullptr)
        return texts;
    const data::ContactRecord& record = favorite.entry->record;
    texts.name = data::display_name(record);
    if (!is_field_type(favorite.value))
        return texts;
    const auto type = static_cast<data::FieldType>(favorite.value);
    if (data::kind_of(type) != data::FieldKind::Phone)
        return texts;
    texts.label = skin.translate(data::field_type_name(type));
    if (const data::ContactField* field = record.field(type))
        texts.number = field->value;
    return texts;
}

bool has_favorite_field(const data::Favorite& favorite) {
    if (favorite.entry == nullptr || !is_field_type(favorite.value))
        return false;
    const data::ContactField* field =
        favorite.entry->record.field(static_cast<data::FieldType>(favorite.value));
    return field != nullptr && !field->value.empty();
}

bool drop_favorites_without_field(data::Document& document) {
    // Collected first: each removal changes the list and tells the screens.
    std::vector<std::pair<std::uint32_t, std::int32_t>> gone;
    for (const data::Favorite& favorite : document.favorites().items())
        if (favorite.entry != nullptr && !has_favorite_field(favorite))
            gone.emplace_back(favorite.entry->oid(), favorite.value);
    for (const auto& [oid, value] : gone) {
        runtime::log() << platform::tick_count() << u" favourite without its field dropped oid="
                       << oid << u"\n";
        // Not saved, it stays: the file still names it.
        document.remove_favorite(oid, value);
        show_not_saved(Unsaved::Favorite, document.favorites_write_failure());
    }
    return !gone.empty();
}

std::shared_ptr<const ui::Picture> unmarked_copy(const ui::Picture& picture) {
    if (!picture.has_data())
        return nullptr;
    const ui::PixelBuffer& from = picture.data->pixels;
    ui::PixelBuffer pixels(from.width(), from.height());
    for (std::int32_t y = 0; y < from.height(); ++y) {
        const ui::Pixel* in = from.row(y);
        ui::Pixel* out = pixels.row(y);
        for (std::int32_t x = 0; x < from.width(); ++x) {
            const auto p = ui::Pixel(in[x] & ~kOpaqueMark);
            out[x] = p == ui::kKeyColour ? kNearKey : p;
        }
    }
    auto copy = std::make_shared<ui::Picture>(picture);
    copy->data = std::make_shared<const ui::PictureData>(
        ui::PictureData{picture.data->path, std::move(pixels)});
    return copy;
}

std::shared_ptr<const ui::Picture> FavoritePhotos::get(std::uint32_t oid, std::int32_t size) {
    if (m_source == nullptr || oid == 0 || size < 1)
        return nullptr;
    const std::uint64_t key = key_of(oid, size);
    if (const auto found = m_pictures.find(key); found != m_pictures.end())
        return found->second;
    const std::uint32_t start = platform::tick_count();
    std::shared_ptr<const ui::Picture> picture;
    if (const auto photo = m_source->get(oid, size))
        picture = unmarked_copy(*photo);
    runtime::log() << platform::tick_count() << u" FavoriteIcon time  "
                   << (platform::tick_count() - start) << u"\n";
    m_pictures.emplace(key, picture);
    return picture;
}

void FavoritePhotos::forget(std::uint32_t oid) {
    std::erase_if(m_pictures, [oid](const auto& item) { return item.first >> 32 == oid; });
}

void FavoritePhotos::keep_only(const data::FavoriteList& favorites) {
    std::unordered_set<std::uint32_t> kept;
    for (const data::Favorite& favorite : favorites.items())
        if (favorite.entry != nullptr)
            kept.insert(favorite.entry->oid());
    std::erase_if(m_pictures, [&kept](const auto& item) {
        return !kept.contains(std::uint32_t(item.first >> 32));
    });
}

void show_photo(ui::ImageNode& photo, const ui::Picture& fallback, FavoritePhotos& photos,
                std::uint32_t oid) {
    const std::int32_t size = fallback.width > 0 ? fallback.width : photo.width();
    const auto picture = photos.get(oid, size);
    photo.set_picture(picture ? *picture : fallback);
}

} // namespace telvara::forms
