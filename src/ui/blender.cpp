// The blenders' row operations over the row kernels.
#include "ui/blender.h"

#include "ui/pixel_rows.h"

#include <algorithm>
#include <cstring>

namespace telvara::ui {

void Blender::blend_gathered_row(Pixel* dst, const Pixel* src, std::int32_t count,
                                 const std::int32_t* columns, std::int32_t src_y) const {
    blend_row(dst, src, count, count > 0 ? columns[0] : 0, src_y);
}

void CopyBlender::blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t,
                            std::int32_t) const {
    if (count > 0)
        std::memcpy(dst, src, std::size_t(count) * sizeof(Pixel));
}

void KeyBlender::blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t,
                           std::int32_t) const {
    pixel_rows::key(dst, src, count);
}

int AlphaBlender::level_for(std::int64_t alpha) {
    return int(std::clamp<std::int64_t>(alpha / 64, 0, 4));
}

void AlphaBlender::blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t,
                             std::int32_t) const {
    pixel_rows::alpha(dst, src, count, m_level);
}

void MaskBlender::blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t src_x,
                            std::int32_t src_y) const {
    if (!m_mask.data)
        return;
    const PixelBuffer& mask = m_mask.data->pixels;
    if (src_y < 0 || src_y >= mask.height() || src_x >= mask.width())
        return;
    std::int32_t skip = 0;
    if (src_x < 0)
        skip = -src_x;
    const std::int32_t end =
        std::min<std::int64_t>(std::int64_t(src_x) + count, mask.width()) - std::int64_t(src_x);
    if (end <= skip)
        return;
    pixel_rows::mask(dst + skip, src + skip, mask.row(src_y) + src_x + skip, end - skip);
}

void MaskBlender::blend_gathered_row(Pixel* dst, const Pixel* src, std::int32_t count,
                                     const std::int32_t* columns, std::int32_t src_y) const {
    if (!m_mask.data)
        return;
    const PixelBuffer& mask = m_mask.data->pixels;
    if (src_y < 0 || src_y >= mask.height())
        return;
    const Pixel* mask_row = mask.row(src_y);
    // Stretched rows come in chunks so the gathered mask stays on the stack.
    constexpr std::int32_t kChunk = 256;
    Pixel gathered[kChunk];
    for (std::int32_t done = 0; done < count; done += kChunk) {
        const std::int32_t n = std::min(kChunk, count - done);
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t column = columns[done + i];
            // Columns outside the mask count as black.
            gathered[i] = (column >= 0 && column < mask.width()) ? mask_row[column] : Pixel(0);
        }
        pixel_rows::mask(dst + done, src + done, gathered, n);
    }
}

const Blender& copy_blender() {
    static const CopyBlender blender;
    return blender;
}

const Blender& key_blender() {
    static const KeyBlender blender;
    return blender;
}

} // namespace telvara::ui
