// The form base, its host slot and the fade transition.
#include "forms/form.h"

#include "forms/form_host.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/blender.h"
#include "ui/drawing.h"
#include "ui/layout.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"
#include "ui/vadode.h"

#include <algorithm>

namespace telvara::forms {

namespace {
FormHost* g_host = nullptr; // the Application singleton while it lives
} // namespace

FormHost* form_host() {
    return g_host;
}

void set_form_host(FormHost* host) {
    g_host = host;
}

int FadeTransition::advance(double seconds) {
    m_elapsed += std::max(0.0, seconds);
    if (m_duration <= 0 || m_elapsed >= m_duration)
        return 0;
    return std::clamp(int(kFullStrength * (1.0 - m_elapsed / m_duration)), 1, kFullStrength);
}

void FadeTransition::draw(ui::RenderSurface& target, const ui::RenderSurface& snapshot,
                          int strength) const {
    if (strength <= 0)
        return;
    if (strength >= kFullStrength)
        ui::blit(target, {}, snapshot, ui::copy_blender());
    else
        ui::blit(target, {}, snapshot, ui::AlphaBlender(strength));
}

Form::Form(WString skin_name) : m_skin_name(std::move(skin_name)) {}

void Form::load_form(const ui::Properties& skin) {
    if (!load_from_skin(skin, m_skin_name))
        throw ui::vadode::NodeNotFoundInSkin(m_skin_name);
}

void Form::load(const ui::Properties& skin, ui::NodeRecord record) {
    Node::load(skin, record);
    m_outside_color = skin.read_colour(record, u"outside_color", ui::Colour{0, 0, 0, 0});
}

void Form::update(double seconds) {
    tick(seconds);
}

std::unique_ptr<FormTransition> Form::make_transition(TransitionKind) {
    return nullptr;
}

void Form::set_outside_color(ui::Colour colour) {
    m_outside_color = colour;
    mark_redraw();
}

void Form::fit_to_screen(std::int32_t width, std::int32_t height) {
    fit_to_area({0, 0, width, height});
}

void Form::fit_to_area(const ui::Rect& area) {
    const ui::Span x = ui::place_in_space(anchor_x(), area.width(), border_min().x, border_max().x,
                                          get_measure_x().preferred);
    place_x(area.left + x.offset, x.size);
    const ui::Span y = ui::place_in_space(anchor_y(), area.height(), border_min().y, border_max().y,
                                          get_measure_y().preferred);
    place_y(area.top + y.offset, y.size);
}

void Form::draw_form(ui::RenderSurface& surface) {
    if (m_outside_color.alpha != 0) {
        const std::int32_t w = surface.width();
        const std::int32_t h = surface.height();
        const std::int32_t right = x() + width();
        const std::int32_t bottom = y() + height();
        ui::fill(surface, {0, 0}, {w, std::max(0, y())}, m_outside_color);
        ui::fill(surface, {0, bottom}, {w, std::max(0, h - bottom)}, m_outside_color);
        ui::fill(surface, {0, y()}, {std::max(0, x()), height()}, m_outside_color);
        ui::fill(surface, {right, y()}, {std::max(0, w - right), height()}, m_outside_color);
    }
    draw_node(surface, {x(), y()});
}

bool Form::menu_takes_key(const ui::KeyEvent& event) {
    // The last menu added is drawn on top: it is asked first.
    for (std::size_t i = child_count(); i-- > 0;) {
        auto* menu = dynamic_cast<ui::PopupMenu*>(&child(i));
        if (menu == nullptr || menu->state() == ui::MenuState::Closed)
            continue;
        if (menu->state() == ui::MenuState::Closing)
            return true;
        return menu->on_key(event);
    }
    return false;
}

void log_part_failure(WStringView screen, const ui::Properties* skin, WStringView node,
                      const std::exception& error) {
    runtime::log() << platform::tick_count() << u" " << screen << u": skin ["
                   << (skin != nullptr ? skin->impl().path() : WString(u"none")) << u"] node {"
                   << node << u"} cannot be built: " << from_utf8(error.what()) << u"\n";
}

bool load_row(WStringView screen, const ui::Properties& skin, ui::ListElement& element,
              WStringView name) {
    const bool loaded = build_part(screen, &skin, name, [&] {
        if (!element.load_from_skin(skin, name))
            throw ui::vadode::NodeNotFoundInSkin(WString(name));
    });
    if (!loaded) {
        // Nodes left half loaded may lack what they draw with.
        while (element.child_count() > 0)
            element.remove_child(&element.child(element.child_count() - 1),
                                 element.child_count() - 1);
        element.set_content_name({});
    }
    return loaded;
}

std::unique_ptr<ui::ListElement> placeholder_row(const ui::Properties* skin, WStringView node) {
    auto row = std::make_unique<ui::ListElement>();
    if (skin != nullptr)
        if (const ui::NodeRecord record = skin->find_node(node))
            row->set_element_size(std::max(skin->read_point(record, u"element_size", {}).y, 0));
    return row;
}

} // namespace telvara::forms
