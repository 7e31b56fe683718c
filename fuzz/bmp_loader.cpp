// Feeds arbitrary bytes to the 16-bit BMP decoder: no read outside the data,
// no unbounded allocation, and a decoded picture is internally consistent.
#include "ui/picture.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::span(reinterpret_cast<const std::byte*>(data), size);
    if (auto pixels = telvara::ui::decode_bmp565(bytes)) {
        // Every decoded row was present in the input.
        const std::int64_t row_bytes = std::int64_t(pixels->width()) * 2;
        if (pixels->width() < 1 || pixels->height() < 1 ||
            std::int64_t(pixels->width()) * pixels->height() > telvara::ui::kMaxPicturePixels ||
            std::int64_t(size) < 54 + row_bytes * pixels->height())
            std::abort();
        // Touch the last pixel so a short buffer shows up under the sanitizer.
        volatile telvara::ui::Pixel last = pixels->row(pixels->height() - 1)[pixels->width() - 1];
        (void)last;
    }
    return 0;
}
