// Pictures of a focused edit box with its caret, a masked one and the date
// spinner at both screen sizes, for looking at (written only when
// TELVARA_FRAME_DIR names a folder); the checks hold either way.
#include "frame_png.h"
#include "text_test_support.h"
#include "ui/drawing.h"
#include "ui/edit_node.h"
#include "ui/font_cache.h"
#include "ui/spinner_node.h"
#include "ui/text_input_service.h"

#include <gtest/gtest.h>

#include <string>

using namespace telvara;
using namespace telvara::ui;

namespace {

FontHandle font_at(std::int32_t size, std::int32_t scale) {
    FontDescription description;
    description.size = size;
    description.face = u"DejaVu Sans";
    description.scale_factor = scale;
    return font_for(description);
}

void shoot(std::int32_t scale) {
    const std::int32_t w = 240 * scale;
    const std::int32_t h = 320 * scale;
    RenderSurface surface;
    surface.resize(w, h);
    fill(surface, {0, 0}, {w, h}, Colour{226, 232, 240, 255});

    EditNode edit;
    edit.set_font(font_at(10, scale));
    edit.set_halign(HAlign::Left);
    edit.set_color(Colour{20, 20, 20, 255});
    edit.set_background_color(Colour{255, 255, 255, 255});
    edit.place_x(10 * scale, 220 * scale);
    edit.place_y(12 * scale, 24 * scale);
    edit.set_capitalize(Capitalize::AfterSentence);
    edit.take_focus();
    TextInputService::instance().on_text_input(u"Call back. bring the keys");
    EXPECT_EQ(edit.edit_text(), u"Call back. Bring the keys");
    edit.draw(surface, {edit.x(), edit.y()});

    EditNode secret;
    secret.set_font(font_at(10, scale));
    secret.set_halign(HAlign::Left);
    secret.set_color(Colour{20, 20, 20, 255});
    secret.set_masking(Masking::Masked);
    secret.set_text(u"1234");
    secret.place_x(10 * scale, 220 * scale);
    secret.place_y(44 * scale, 24 * scale);
    fill(surface, {secret.x(), secret.y()}, {secret.width(), secret.height()},
         Colour{245, 245, 245, 255});
    secret.draw(surface, {secret.x(), secret.y()});

    SpinnerNode spinner;
    spinner.set_font(font_at(11, scale));
    spinner.set_color(Colour{30, 30, 40, 255}, Colour{250, 250, 252, 255});
    spinner.place_x(10 * scale, 220 * scale);
    spinner.place_y(90 * scale, 150 * scale);
    spinner.set_date_time({2024, 2, 29, 9, 5});
    // Half a row into a turn of the minute wheel, as a finger leaves it.
    spinner.wheel(SpinnerWheelId::Minute).press();
    spinner.wheel(SpinnerWheelId::Minute).drag(-spinner.row_height() / 2.0);
    spinner.draw(surface, {spinner.x(), spinner.y()});

    // The caret is there: text-coloured pixels in a column right of the text.
    const Rect caret = edit.caret_rect({edit.x(), edit.y()});
    EXPECT_EQ(surface.row(caret.top + 1)[caret.left], to_565(Colour{20, 20, 20, 255}));
    test::write_frame_png(surface, "edit_spinner_" + std::to_string(w) + "x" + std::to_string(h));
    TextInputService::instance().drop_focus();
}

} // namespace

TEST(EditSpinnerShots, Small) {
    shoot(1);
}

TEST(EditSpinnerShots, Large) {
    shoot(2);
}
