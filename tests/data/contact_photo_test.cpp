// Contact photos: decoding, centre crop, area-averaged 5-6-5 scaling and the (oid, size) cache.
#include "contact_store_test_support.h"
#include "data/contact_photo.h"
#include "data/contact_store.h"
#include "data/test_contacts.h"
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <map>
#include <set>
using namespace telvara;
using namespace telvara::data;

namespace {
RgbImage solid(std::int32_t w, std::int32_t h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    RgbImage image;
    image.width = w;
    image.height = h;
    for (std::int32_t i = 0; i < w * h; ++i)
        image.rgb.insert(image.rgb.end(), {r, g, b});
    return image;
}
std::vector<std::byte> encode_jpeg(const RgbImage& image, J_COLOR_SPACE space = JCS_RGB) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (space == JCS_GRAYSCALE)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(&image.rgb[info.next_scanline * image.width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::byte> out(reinterpret_cast<std::byte*>(buffer),
                               reinterpret_cast<std::byte*>(buffer) + size);
    std::free(buffer);
    return out;
}
ui::Pixel pixel(const ui::PixelBuffer& b, int x, int y) {
    return b.row(y)[x];
}

} // namespace

TEST(ContactPhoto, DecodesPngAndJpegAndRefusesTheRest) {
    RgbImage image = solid(40, 30, 200, 40, 10);
    auto png = decode_image(encode_png(image));
    ASSERT_TRUE(png);
    EXPECT_EQ(std::tie(png->width, png->height, png->rgb),
              std::tie(image.width, image.height, image.rgb));
    auto jpeg = decode_image(encode_jpeg(image));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(std::tie(jpeg->width, jpeg->height), std::tuple(40, 30));
    EXPECT_NEAR(jpeg->rgb[0], 200, 6);
    EXPECT_NEAR(jpeg->rgb[1], 40, 6);
    auto grey = decode_image(encode_jpeg(solid(16, 16, 90, 90, 90), JCS_GRAYSCALE));
    ASSERT_TRUE(grey);
    EXPECT_NEAR(grey->rgb[2], 90, 4);
    // A large JPEG is decoded at a reduced scale that still covers the size.
    auto reduced = decode_image(encode_jpeg(solid(800, 600, 0, 0, 255)), 96);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(std::tie(reduced->width, reduced->height), std::tuple(200, 150));
    // Nothing, a GIF and cut-short files are refused.
    EXPECT_FALSE(decode_image({}));
    const std::string gif = "GIF89a....";
    EXPECT_FALSE(decode_image(std::as_bytes(std::span(gif))));
    auto cut_png = encode_png(solid(20, 20, 1, 2, 3));
    cut_png.resize(cut_png.size() / 2);
    EXPECT_FALSE(decode_image(cut_png));
    auto cut_jpeg = encode_jpeg(solid(20, 20, 1, 2, 3));
    cut_jpeg.resize(30);
    EXPECT_FALSE(decode_image(cut_jpeg));
    EXPECT_EQ(make_photo_picture(cut_jpeg, 48), nullptr);
}

TEST(ContactPhoto, ScalesByAreaAndCropsTheCentre) {
    // A wide image: left third red, middle white, right third blue. The
    // square crop keeps the middle part only.
    RgbImage wide = solid(300, 100, 255, 255, 255);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x) {
            auto* p = &wide.rgb[(y * 300 + x) * 3];
            if (x < 100)
                p[0] = 255, p[1] = 0, p[2] = 0;
            else if (x >= 200)
                p[0] = 0, p[1] = 0, p[2] = 255;
        }
    ui::PixelBuffer square = scale_to_565(wide, 10, 10);
    ASSERT_EQ(std::tuple(square.width(), square.height()), std::tuple(10, 10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(pixel(square, x, y), 0xFFFF) << x << "," << y;
    // A 2x2 checkerboard averaged into one pixel: mid grey, not a sample.
    RgbImage checker = solid(2, 2, 0, 0, 0);
    checker.rgb[0] = checker.rgb[1] = checker.rgb[2] = 255;
    checker.rgb[9] = checker.rgb[10] = checker.rgb[11] = 255;
    const ui::Pixel mid = pixel(scale_to_565(checker, 1, 1), 0, 0);
    EXPECT_NEAR(mid >> 11, 16, 1);
    EXPECT_NEAR((mid >> 5) & 63, 32, 1);
    // Enlarged, a small photo blends between its pixels instead of showing each as a block: black
    // and white side by side become a ramp, with the outer pixels keeping their own colour.
    RgbImage pair = solid(2, 1, 0, 0, 0);
    pair.rgb[3] = pair.rgb[4] = pair.rgb[5] = 255;
    ui::PixelBuffer ramp = scale_to_565(pair, 8, 4);
    ASSERT_EQ(ramp.width(), 8);
    EXPECT_EQ(pixel(ramp, 0, 0) >> 11, 0);
    EXPECT_EQ(pixel(ramp, 7, 0) >> 11, 31);
    std::set<int> reds;
    for (int x = 0; x < 8; ++x) {
        reds.insert(pixel(ramp, x, 0) >> 11);
        EXPECT_TRUE(x == 0 || pixel(ramp, x - 1, 0) >> 11 <= pixel(ramp, x, 0) >> 11) << x;
        EXPECT_EQ(pixel(ramp, x, 0), pixel(ramp, x, 3)) << "rows alike";
    }
    EXPECT_GE(reds.size(), 4u) << "shades between, not two blocks";
    EXPECT_TRUE(scale_to_565(checker, 0, 5).empty());
    // Pure magenta would be a transparent hole: nudged off the key colour.
    ui::PixelBuffer magenta = scale_to_565(solid(4, 4, 255, 0, 255), 2, 2);
    EXPECT_NE(pixel(magenta, 0, 0), ui::kKeyColour);
    auto picture = make_photo_picture(encode_png(wide), 48);
    ASSERT_TRUE(picture != nullptr && picture->has_data());
    EXPECT_EQ(std::tuple(picture->width, picture->height, picture->data->pixels.width()),
              std::tuple(48, 48, 48));
}

TEST(ContactPhotoCache, CachesBySizeEvictsAndInvalidates) {
    std::map<std::uint32_t, std::vector<std::byte>> photos;
    photos[1] = encode_png(solid(20, 20, 255, 0, 0));
    photos[2] = encode_png(solid(20, 20, 0, 255, 0));
    int loads = 0;
    ContactPhotoCache cache(
        [&](std::uint32_t oid) {
            ++loads;
            auto it = photos.find(oid);
            return it == photos.end() ? std::vector<std::byte>() : it->second;
        },
        3);
    auto a = cache.get(1, 32);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(cache.get(1, 32) == a && cache.get(1, 64)->width == 64);
    EXPECT_TRUE(cache.get(3, 32) == nullptr && cache.get(3, 32) == nullptr) << "no photo";
    EXPECT_EQ(loads, 3) << "one load a size; a missing photo is remembered too";
    // The photo changes: the old picture goes with invalidate.
    photos[1] = encode_png(solid(20, 20, 0, 0, 255));
    EXPECT_EQ(cache.get(1, 32), a) << "still cached";
    cache.invalidate(1);
    EXPECT_EQ(cache.get(1, 32)->data->pixels.row(0)[0], 0x001F);
    // Capacity 3: the least recently used entry goes.
    cache.get(2, 32);
    cache.get(3, 32);
    EXPECT_EQ(cache.size(), 3u);
    const int before = loads;
    cache.get(1, 32); // still there? it was used before 2 and 3
    cache.get(2, 64);
    EXPECT_EQ(cache.size(), 3u);
    EXPECT_GT(loads, before);
}

class ContactPhotoStoreTest : public data::testing::StoreTest {};

TEST_F(ContactPhotoStoreTest, StorePhotosReachTheCacheAndImportsJournalOnce) {
    ContactStore store;
    ASSERT_TRUE(store.is_open());
    std::vector<ContactWithPhoto> batch(3);
    batch[0].record.first_name = u"A";
    batch[0].photo = encode_png(solid(10, 10, 255, 0, 0));
    batch[1].record.first_name = u"B";
    batch[2].record.first_name = u"C";
    batch[2].photo = encode_jpeg(solid(10, 10, 0, 255, 0));
    store.collect_changes();
    ASSERT_TRUE(store.create_contacts(batch));
    EXPECT_EQ(store.collect_changes().size(), 3u) << "one created entry each, no changed";
    ContactPhotoCache cache(store);
    EXPECT_NE(cache.get(batch[0].record.oid, 24), nullptr);
    EXPECT_EQ(cache.get(batch[1].record.oid, 24), nullptr);
    EXPECT_NE(cache.get(batch[2].record.oid, 24), nullptr);
    // All or nothing: a bad photo fails the whole batch.
    std::vector<ContactWithPhoto> bad(2);
    bad[0].record.first_name = u"D";
    bad[1].record.first_name = u"E";
    bad[1].photo.resize(kMaxPictureBytes + 1);
    EXPECT_FALSE(store.create_contacts(bad));
    std::vector<ContactRecord> all;
    EXPECT_EQ(store.load_contacts(all), 3u);
    // Generated contacts: about one in four gets a decodable avatar.
    ASSERT_EQ(store.add_test_contacts(40, TestPhotos::some), 40u);
    int with_photo = 0;
    for (std::uint32_t oid = 4; oid < 44; ++oid)
        with_photo += cache.get(oid, 32) != nullptr;
    EXPECT_TRUE(with_photo > 3 && with_photo < 25) << with_photo;
    EXPECT_EQ(make_test_contact_photo(7), make_test_contact_photo(7));
}
