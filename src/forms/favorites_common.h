#pragma once
// What both favourites layouts share: the listener their taps go to, the
// texts and number a favourite shows and dials, and the cache of round
// contact photos sized for their "photo" nodes.

#include "data/favorites.h"
#include "platform/text.h"
#include "ui/picture.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace telvara::data {
class ContactPhotoCache;
class Document;
struct ContactEntry;
} // namespace telvara::data

namespace telvara::ui {
class ImageNode;
class Properties;
} // namespace telvara::ui

namespace telvara::forms {

// Where the favourites screens send what the user asked for.
class FavoritesListener {
  public:
    // Call this number (never empty).
    virtual void on_favorite_call(WStringView number) = 0;
    // Open the contact's card in view mode.
    virtual void on_favorite_open(data::ContactEntry& contact) = 0;

  protected:
    ~FavoritesListener() = default;
};

// The favourite value is the field type of the chosen phone number.
struct FavoriteTexts {
    WString name;   // the contact's display name
    WString label;  // the field's translated label ("Mobile")
    WString number; // empty when the contact no longer has such a phone field
};

FavoriteTexts favorite_texts(const data::Favorite& favorite, const ui::Properties& skin);

// Whether the favourite's contact still has the field it names, with a value.
bool has_favorite_field(const data::Favorite& favorite);
// Takes every favourite whose field is gone out of the Document (and so out
// of the saved file): its number was removed on a card, by an editor, in
// another program or before this start. True when one went.
bool drop_favorites_without_field(data::Document& document);

// Round photos: the photo node's own picture is the default (a silhouette
// drawn with a circular mask); a contact's photo is drawn through the same
// mask, so it is asked for at the mask's size and its pixels lose the
// "opaque" mark that would make the blender ignore the mask.
class FavoritePhotos {
  public:
    // May be null (no store): every contact shows the default picture.
    void set_source(data::ContactPhotoCache* source) { m_source = source; }

    // The photo of the contact at size x size, null when it has none.
    std::shared_ptr<const ui::Picture> get(std::uint32_t oid, std::int32_t size);
    // Drops every size of the contact (it changed or went).
    void forget(std::uint32_t oid);
    // Drops the contacts that are no longer favourites, so the cache holds at
    // most one picture per favourite contact and size.
    void keep_only(const data::FavoriteList& favorites);
    void clear() { m_pictures.clear(); }
    std::size_t size() const { return m_pictures.size(); }

  private:
    data::ContactPhotoCache* m_source = nullptr;
    // (oid << 32 | size) -> picture; a null picture is remembered too.
    std::unordered_map<std::uint64_t, std::shared_ptr<const ui::Picture>> m_pictures;
};

// Shows the contact's photo in `photo`, or `fallback` (the skin's default)
// when there is none.
void show_photo(ui::ImageNode& photo, const ui::Picture& fallback, FavoritePhotos& photos,
                std::uint32_t oid);

// The copy of a 5-6-5 picture without the opaque mark, which a mask blender
// needs to round it off (the key colour never appears in the copy).
std::shared_ptr<const ui::Picture> unmarked_copy(const ui::Picture& picture);

} // namespace telvara::forms
