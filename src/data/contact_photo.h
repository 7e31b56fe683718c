#pragma once
// Contact photos for display: the stored JPEG or PNG bytes decoded, cropped
// about the centre to the shape asked for (a square for the round photo),
// scaled down by area averaging to 5-6-5 pixels, and cached by (oid, size)
// in a small LRU that forgets a contact when its photo changes.

#include "ui/picture.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace telvara::data {

class ContactStore;

enum class ImageFormat { unknown, png, jpeg };

// By the file's signature.
ImageFormat detect_image_format(std::span<const std::byte> bytes);

// 8-bit RGB, rows packed (width * 3 bytes).
struct RgbImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

// Decodes a PNG (transparency composited onto white) or a JPEG (grey, YCbCr,
// CMYK). A JPEG may be decoded at 1/2, 1/4 or 1/8 of its size as long as both
// sides stay at least `min_side`. Nothing for other formats, damaged data or
// more than ui::kMaxPicturePixels pixels.
std::optional<RgbImage> decode_image(std::span<const std::byte> bytes, std::int32_t min_side = 0);

// PNG bytes of the image (for generated avatars and tests).
std::vector<std::byte> encode_png(const RgbImage& image);

// Crops the image about its centre to the aspect of width x height, then
// scales by area averaging (each target pixel the mean of the source area it
// covers). Never yields the key colour, so photos have no holes.
ui::PixelBuffer scale_to_565(const RgbImage& image, std::int32_t width, std::int32_t height);

// decode_image + scale_to_565 into a size x size picture; null when the bytes
// are not a usable image or size < 1.
std::shared_ptr<const ui::Picture> make_photo_picture(std::span<const std::byte> image,
                                                      std::int32_t size);

class ContactPhotoCache {
  public:
    // The stored image bytes of a contact, empty when it has none.
    using Loader = std::function<std::vector<std::byte>(std::uint32_t oid)>;

    explicit ContactPhotoCache(Loader loader, std::size_t capacity = kDefaultCapacity);
    // Reads photos from the store, which must outlive the cache.
    explicit ContactPhotoCache(ContactStore& store, std::size_t capacity = kDefaultCapacity);

    // The contact's photo as a size x size picture; null when it has none or
    // it cannot be decoded (remembered too, so a list of contacts without
    // photos costs one read each).
    std::shared_ptr<const ui::Picture> get(std::uint32_t oid, std::int32_t size);
    // Call when the contact changed or went: every size of it is dropped.
    void invalidate(std::uint32_t oid);
    void clear();
    std::size_t size() const { return m_entries.size(); }

    static constexpr std::size_t kDefaultCapacity = 64;

  private:
    struct Entry {
        std::uint64_t key = 0;
        std::shared_ptr<const ui::Picture> picture;
    };
    static std::uint64_t key_of(std::uint32_t oid, std::int32_t size);

    Loader m_loader;
    std::size_t m_capacity = kDefaultCapacity;
    std::list<Entry> m_entries; // most recently used first
    std::unordered_map<std::uint64_t, std::list<Entry>::iterator> m_index;
};

} // namespace telvara::data
