// Three-slice drawing of picture references: fixed head and tail, stretched
// middle, per axis; nearest-neighbour stretching over whole rows.
#include "ui/blender.h"
#include "ui/picture.h"
#include "ui/pixel_rows.h"
#include "ui/render_surface.h"

#include <algorithm>
#include <array>
#include <vector>

namespace telvara::ui {

namespace {

// Destination run [dst, dst + length) showing source positions
// src + index(skip + k) for k in [0, length), where index stretches `source`
// positions over `stretched` destination positions.
struct Piece {
    std::int64_t dst = 0;
    std::int64_t length = 0;
    std::int32_t src = 0;
    std::int32_t source = 0;
    std::int64_t stretched = 0;
    std::int64_t skip = 0;

    bool direct() const { return source == stretched; }
};

struct AxisPlan {
    std::array<Piece, 3> pieces;
    std::int32_t count = 0;
};

// Maps destination offsets in a stretched run to source offsets.
class Stretch {
  public:
    Stretch(std::int32_t source, std::int64_t stretched) {
        // Integral power-of-two magnifications shift instead of multiplying.
        for (int shift = 0; shift < 31 && (std::int64_t(source) << shift) <= stretched; ++shift) {
            if ((std::int64_t(source) << shift) == stretched) {
                m_shift = shift;
                return;
            }
        }
        m_step = (std::int64_t(source) << 10) / stretched;
    }
    std::int32_t operator()(std::int64_t k) const {
        return std::int32_t(m_shift >= 0 ? k >> m_shift : (k * m_step) >> 10);
    }

  private:
    int m_shift = -1;
    std::int64_t m_step = 0; // source positions per destination position, 10 fractional bits
};

// s0 <= s1 <= s2 <= s3 and s0 < s3 hold; [low, high) is the visible range.
AxisPlan plan_axis(std::int32_t start, std::int32_t size, std::array<std::int32_t, 4> s,
                   std::int32_t low, std::int32_t high) {
    const std::int32_t head = s[1] - s[0];
    const std::int32_t tail = s[3] - s[2];
    const std::int32_t middle = s[2] - s[1];
    std::int32_t h = head;
    std::int32_t t = tail;
    if (std::int64_t(size) <= std::int64_t(head) + tail) {
        h = size / 2;
        t = (size - 1) / 2;
        if (h > head) {
            t += h - head;
            h = head;
        }
        if (t > tail) {
            h += t - tail;
            t = tail;
        }
    }
    const std::int32_t between = size - h - t;
    // A reference without a middle part stretches the pixel where head and
    // tail meet rather than leaving a hole.
    std::int32_t middle_src = s[1];
    std::int32_t middle_len = middle;
    if (middle == 0) {
        middle_src = head > 0 ? s[1] - 1 : s[2];
        middle_len = 1;
    }

    const Piece all[3] = {
        {start, h, s[0], h, h, 0},
        {std::int64_t(start) + h, between, middle_src, middle_len, between, 0},
        {std::int64_t(start) + size - t, t, s[3] - t, t, t, 0},
    };
    AxisPlan plan;
    for (Piece piece : all) {
        if (piece.length <= 0)
            continue;
        // Clip after placement, moving the source start along.
        const std::int64_t begin = std::max<std::int64_t>(piece.dst, low);
        const std::int64_t end = std::min<std::int64_t>(piece.dst + piece.length, high);
        if (begin >= end)
            continue;
        piece.skip = begin - piece.dst;
        piece.dst = begin;
        piece.length = end - begin;
        plan.pieces[std::size_t(plan.count++)] = piece;
    }
    return plan;
}

// Clamps the reference into the picture so no read leaves the pixel data.
std::array<std::int32_t, 4> axis_points(std::int32_t p0, std::int32_t p1, std::int32_t p2,
                                        std::int32_t p3, std::int32_t extent) {
    std::array<std::int32_t, 4> s;
    s[0] = std::clamp(p0, 0, extent);
    s[3] = std::clamp(p3, s[0], extent);
    s[1] = std::clamp(p1, s[0], s[3]);
    s[2] = std::clamp(p2, s[1], s[3]);
    return s;
}

} // namespace

void draw_picture(RenderSurface& surface, Point origin, Size size, const Picture& picture,
                  const Blender& blender) {
    if (!picture.data || size.width < 1 || size.height < 1)
        return;
    const PixelBuffer& pixels = picture.data->pixels;
    const auto& p = picture.points;
    const auto xs = axis_points(p[0].x, p[1].x, p[2].x, p[3].x, pixels.width());
    const auto ys = axis_points(p[0].y, p[1].y, p[2].y, p[3].y, pixels.height());
    if (xs[0] == xs[3] || ys[0] == ys[3])
        return;
    const Rect limit = surface.clip().intersect(surface.bounds());
    if (limit.is_empty())
        return;
    const AxisPlan across = plan_axis(origin.x, size.width, xs, limit.left, limit.right);
    const AxisPlan down = plan_axis(origin.y, size.height, ys, limit.top, limit.bottom);
    if (across.count == 0 || down.count == 0)
        return;

    // Source column of every visible destination column of the stretched
    // pieces, and a row buffer they are gathered into once per source row.
    const std::int32_t left = std::int32_t(across.pieces[0].dst);
    const Piece& last = across.pieces[std::size_t(across.count - 1)];
    const std::int32_t span = std::int32_t(last.dst + last.length - left);
    std::vector<std::int32_t> columns;
    std::vector<Pixel> gathered;
    bool stretched = false;
    for (std::int32_t i = 0; i < across.count; ++i)
        stretched |= !across.pieces[std::size_t(i)].direct();
    if (stretched) {
        columns.assign(std::size_t(span), 0);
        gathered.assign(std::size_t(span), 0);
        for (std::int32_t i = 0; i < across.count; ++i) {
            const Piece& piece = across.pieces[std::size_t(i)];
            if (piece.direct())
                continue;
            const Stretch map(piece.source, piece.stretched);
            std::int32_t* out = columns.data() + (piece.dst - left);
            for (std::int64_t k = 0; k < piece.length; ++k)
                out[k] = piece.src + map(piece.skip + k);
        }
    }

    std::int32_t gathered_row = -1;
    for (std::int32_t j = 0; j < down.count; ++j) {
        const Piece& rows = down.pieces[std::size_t(j)];
        const Stretch map_y(rows.source, rows.stretched);
        for (std::int64_t k = 0; k < rows.length; ++k) {
            const std::int32_t sy =
                rows.src + (rows.direct() ? std::int32_t(rows.skip + k) : map_y(rows.skip + k));
            const Pixel* source = pixels.row(sy);
            Pixel* target = surface.row(std::int32_t(rows.dst + k));
            for (std::int32_t i = 0; i < across.count; ++i) {
                const Piece& piece = across.pieces[std::size_t(i)];
                const std::int32_t count = std::int32_t(piece.length);
                const std::int32_t x = std::int32_t(piece.dst);
                if (piece.direct()) {
                    const std::int32_t sx = piece.src + std::int32_t(piece.skip);
                    blender.blend_row(target + x, source + sx, count, sx, sy);
                    continue;
                }
                const std::int32_t offset = x - left;
                // Stretched rows repeat when the picture is magnified vertically.
                if (gathered_row != sy) {
                    for (std::int32_t n = 0; n < across.count; ++n) {
                        const Piece& other = across.pieces[std::size_t(n)];
                        if (!other.direct()) {
                            const std::int32_t at = std::int32_t(other.dst) - left;
                            pixel_rows::gather(gathered.data() + at, source, columns.data() + at,
                                               std::int32_t(other.length));
                        }
                    }
                    gathered_row = sy;
                }
                blender.blend_gathered_row(target + x, gathered.data() + offset, count,
                                           columns.data() + offset, sy);
            }
        }
    }
}

} // namespace telvara::ui
