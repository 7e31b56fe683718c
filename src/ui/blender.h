#pragma once
// Blenders: how a blit or picture draw combines source rows with the
// destination. Owned by the node that draws with them; stateless while drawing.

#include "ui/colour.h"
#include "ui/picture.h"

#include <cstdint>
#include <utility>

namespace telvara::ui {

class Blender {
  public:
    virtual ~Blender() = default;

    // Combines `count` source pixels into the destination span. (src_x, src_y)
    // are the source coordinates of src[0]; the row runs to the right.
    virtual void blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t src_x,
                           std::int32_t src_y) const = 0;

    // The same for a stretched row: src[i] came from source column columns[i].
    virtual void blend_gathered_row(Pixel* dst, const Pixel* src, std::int32_t count,
                                    const std::int32_t* columns, std::int32_t src_y) const;
};

// Opaque copy: every pixel, the key colour included.
class CopyBlender final : public Blender {
  public:
    void blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t src_x,
                   std::int32_t src_y) const override;
};

// Every source pixel except the key colour: the plain cache and pictures
// without alpha.
class KeyBlender final : public Blender {
  public:
    void blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t src_x,
                   std::int32_t src_y) const override;
};

// "alpha" and "cache_alpha": level floor(alpha / 64) clamped to 0..4 (see
// pixel_rows::alpha for what each level writes).
class AlphaBlender final : public Blender {
  public:
    explicit AlphaBlender(std::int64_t alpha) : m_level(level_for(alpha)) {}

    static int level_for(std::int64_t alpha);
    int level() const { return m_level; }

    void blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t src_x,
                   std::int32_t src_y) const override;

  private:
    int m_level = 0;
};

// Mixes source and destination under a mask picture addressed in source
// coordinates (see pixel_rows::mask). Where the source reaches past the mask
// the destination stays.
class MaskBlender final : public Blender {
  public:
    explicit MaskBlender(Picture mask) : m_mask(std::move(mask)) {}

    void blend_row(Pixel* dst, const Pixel* src, std::int32_t count, std::int32_t src_x,
                   std::int32_t src_y) const override;
    void blend_gathered_row(Pixel* dst, const Pixel* src, std::int32_t count,
                            const std::int32_t* columns, std::int32_t src_y) const override;

  private:
    Picture m_mask;
};

// Shared stateless instances.
const Blender& copy_blender();
const Blender& key_blender();

} // namespace telvara::ui
