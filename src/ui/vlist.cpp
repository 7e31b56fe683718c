// The virtual list: element pool, binding, height animation, inertia, pen
// and key handling, drawing of the rows in view.
#include "ui/vlist.h"

#include "ui/blender.h"
#include "ui/key_names.h"
#include "ui/properties.h"
#include "ui/visibility_animation.h"

#include <algorithm>
#include <cmath>

namespace telvara::ui {

namespace lp = list_physics;

namespace {

// Rows in view never need more room than this while the list grows with its
// content and nothing above has a height yet.
constexpr double kGrowLimit = 4096.0;
// Focus positions closer than this to a whole item count as on it.
constexpr double kFocusEpsilon = 1e-6;

} // namespace

// --- ListElement ---------------------------------------------------------------

void ListElement::set_target_height(std::int32_t height) {
    m_target_height = std::max(height, 0);
}

void ListElement::set_height_now(std::int32_t height) {
    m_target_height = std::max(height, 0);
    m_current_height = m_target_height;
}

void ListElement::find_state_children() {
    m_normal = find(u"#vlist_normal");
    m_pressed = find(u"#vlist_pressed");
    m_selected = find(u"#vlist_selected");
    apply_look();
}

void ListElement::show_look(ElementLook look) {
    if (look == m_look)
        return;
    m_look = look;
    apply_look();
}

void ListElement::apply_look() {
    Node* wanted = m_look == ElementLook::Pressed    ? m_pressed
                   : m_look == ElementLook::Selected ? m_selected
                                                     : m_normal;
    // A skin without the wanted child keeps showing the normal one.
    if (!wanted)
        wanted = m_normal;
    for (Node* child : {m_normal, m_pressed, m_selected}) {
        if (child)
            child->set_visible(child == wanted);
    }
}

void ListElement::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    m_element_size = std::max(skin.read_point(record, u"element_size", Point{}).y, 0);
    find_state_children();
}

void ListElement::remove_child(Node* child, std::size_t index) {
    for (Node** kept : {&m_normal, &m_pressed, &m_selected}) {
        if (*kept == child)
            *kept = nullptr;
    }
    Node::remove_child(child, index);
}

// --- ListAdapter -----------------------------------------------------------------

std::unique_ptr<ListElement> ListAdapter::create_element() {
    return std::make_unique<ListElement>();
}

std::int32_t ListAdapter::item_height(ListElement& element, std::int32_t) {
    if (element.element_size() > 0)
        return element.element_size();
    return element.get_measure_y().preferred;
}

// --- VirtualList: set-up -----------------------------------------------------------

VirtualList::VirtualList() {
    m_rows.reserve(64);
    m_spare.reserve(64);
    m_pool.reserve(64);
}

VirtualList::~VirtualList() = default;

void VirtualList::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    m_border_min = skin.read_point(record, u"scroll_border_min", Point{}).y;
    m_border_max = skin.read_point(record, u"scroll_border_max", Point{}).y;
    m_locked = skin.read_int(record, u"locked", 0) != 0;
    m_grow = skin.read_int(record, u"grow", 0) != 0;
    const Picture none;
    Picture highlight = skin.read_picture(record, u"highlight", none);
    const auto alpha = std::int32_t(skin.read_int(record, u"highlight_alpha", 0xFFFFFFFFu));
    set_highlight(std::move(highlight), alpha >= 0 && alpha <= 255 ? alpha : -1);
    m_tracker.set_scale_shift(skin.scale_shift());
    rebind_all(0, m_border_min);
}

void VirtualList::set_adapter(ListAdapter* adapter) {
    m_adapter = adapter;
    cancel_press();
    // Elements of another data source may be built differently: start afresh.
    while (!m_pool.empty())
        remove_child(m_pool.back(), child_count());
    m_item_count = adapter ? std::max(adapter->item_count(), 0) : 0;
    m_focus = -1.0;
    m_focus_speed = 0.0;
    m_motion.velocity = 0.0;
    rebind_all(0, m_border_min);
}

void VirtualList::set_scroll_borders(std::int32_t border_min, std::int32_t border_max) {
    m_border_min = border_min;
    m_border_max = border_max;
    if (bound_front_index() <= 0)
        m_motion.offset = border_min;
    fill();
    place_rows();
}

void VirtualList::set_grow(bool grow) {
    m_grow = grow;
    mark_layout();
}

void VirtualList::set_highlight(Picture picture, std::int32_t alpha) {
    m_highlight = std::move(picture);
    m_highlight_alpha = alpha;
    m_highlight_blender.reset();
    if (alpha >= 0)
        m_highlight_blender = std::make_unique<AlphaBlender>(alpha);
    mark_redraw();
}

void VirtualList::remove_child(Node* child, std::size_t index) {
    if (auto* element = dynamic_cast<ListElement*>(child); element && element->m_list == this) {
        if (m_pressed == element)
            m_pressed = nullptr;
        std::erase(m_pool, element);
        std::erase(m_rows, element);
        std::erase(m_spare, element);
    }
    Node::remove_child(child, index);
}

// --- Data ------------------------------------------------------------------------

void VirtualList::data_changed() {
    m_item_count = m_adapter ? std::max(m_adapter->item_count(), 0) : 0;
    if (bound_front_index() >= m_item_count) {
        // Everything in view is gone: show the end of what is left, resting
        // on the bottom border at once (not one row at the top that then
        // slides down).
        scroll_to_item(m_item_count - 1);
        return;
    }
    for (ListElement* row : m_rows) {
        if (row->m_index < 0)
            continue;
        if (row->m_index >= m_item_count) {
            row->m_index = ListElement::kUnbound;
            row->m_target_height = 0;
            if (row == m_pressed)
                cancel_press();
            continue;
        }
        m_adapter->bind_element(*row, row->m_index);
        row->find_state_children();
        row->set_visible(true);
        row->place_x(x(), width());
        row->set_target_height(m_adapter->item_height(*row, row->m_index));
        update_look(*row);
    }
    if (m_focus >= m_item_count)
        clear_focus();
    fill();
    place_rows();
    mark_redraw();
}

void VirtualList::refresh() {
    Node::refresh();
    // Skin-derived content was re-applied below: fill the rows again.
    data_changed();
}

void VirtualList::item_removed(std::int32_t index) {
    if (index < 0 || index >= m_item_count)
        return;
    --m_item_count;
    for (ListElement* row : m_rows) {
        if (row->m_index == index) {
            if (row == m_pressed)
                cancel_press();
            row->m_index = ListElement::kUnbound;
            row->m_target_height = 0;
        } else if (row->m_index > index) {
            --row->m_index;
        }
    }
    if (m_anchor > index)
        --m_anchor;
    if (m_selected == index)
        m_selected = -1;
    else if (m_selected > index)
        --m_selected;
    // The focus stays on its item: Enter must act on what it showed.
    if (m_focus > index)
        m_focus -= 1.0;
    if (m_focus_target > index)
        m_focus_target -= 1.0;
    if (m_focus >= m_item_count)
        clear_focus();
    for (ListElement* row : m_rows)
        update_look(*row);
    mark_redraw();
}

void VirtualList::item_inserted(std::int32_t index) {
    if (index < 0 || index > m_item_count)
        return;
    ++m_item_count;
    const std::int32_t front = bound_front_index();
    const std::int32_t back = bound_back_index();
    // The new row goes before the first bound row it pushes down.
    std::size_t at = m_rows.size();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        ListElement* row = m_rows[i];
        if (row->m_index >= index) {
            ++row->m_index;
            if (at == m_rows.size())
                at = i;
        }
    }
    if (m_anchor >= index && front >= 0)
        ++m_anchor;
    if (m_selected >= index)
        ++m_selected;
    if (m_focus >= 0.0 && m_focus >= index)
        m_focus += 1.0;
    if (m_focus_target >= 0.0 && m_focus_target >= index)
        m_focus_target += 1.0;
    // Only an item among the rows in view gets an element now; one above
    // them moves nothing on screen, one below is bound by fill() as usual.
    if (front >= 0 && index >= front && index <= back) {
        ListElement& element = take_element();
        bind(element, index, 0);
        element.m_current_height = 0.0;
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), &element);
    }
    fill();
    place_rows();
    mark_redraw();
}

void VirtualList::set_selected_index(std::int32_t index) {
    if (index == m_selected)
        return;
    m_selected = index;
    for (ListElement* row : m_rows)
        update_look(*row);
    mark_redraw();
}

void VirtualList::scroll_to_item(std::int32_t index) {
    cancel_press();
    m_motion.velocity = 0.0;
    index = std::clamp(index, 0, std::max(m_item_count - 1, 0));
    rebind_all(index, index == 0 ? m_border_min : 0);
    // Near the end the item cannot reach the top: rest at the bottom instead.
    for (int round = 0; round < 4; ++round) {
        const auto below = lp::bottom_overshoot(m_motion, bounds());
        if (!below || *below <= 0.0)
            break;
        m_motion.offset += *below;
        fill();
    }
    if (const auto above = lp::top_overshoot(m_motion, bounds()); above && *above > 0.0)
        m_motion.offset = m_border_min;
    fill();
    place_rows();
    mark_redraw();
}

// --- Queries ------------------------------------------------------------------------

std::int32_t VirtualList::bound_front_index() const {
    for (const ListElement* row : m_rows) {
        if (row->m_index >= 0)
            return row->m_index;
    }
    return -1;
}

std::int32_t VirtualList::bound_back_index() const {
    for (auto it = m_rows.rbegin(); it != m_rows.rend(); ++it) {
        if ((*it)->m_index >= 0)
            return (*it)->m_index;
    }
    return -1;
}

std::int32_t VirtualList::first_visible_index() const {
    double top = m_motion.offset;
    for (const ListElement* row : m_rows) {
        const double bottom = top + row->m_current_height;
        if (row->m_index >= 0 && bottom > 0.0 && top < height())
            return row->m_index;
        top = bottom;
    }
    return -1;
}

std::int32_t VirtualList::last_visible_index() const {
    double top = m_motion.offset;
    std::int32_t last = -1;
    for (const ListElement* row : m_rows) {
        const double bottom = top + row->m_current_height;
        if (row->m_index >= 0 && bottom > 0.0 && top < height())
            last = row->m_index;
        top = bottom;
    }
    return last;
}

ListElement* VirtualList::element_for(std::int32_t index) const {
    for (ListElement* row : m_rows) {
        if (row->m_index == index)
            return row;
    }
    return nullptr;
}

bool VirtualList::is_at_rest() const {
    if (m_motion.velocity != 0.0 || m_pen_down)
        return false;
    const auto b = bounds();
    const auto above = lp::top_overshoot(m_motion, b);
    const auto below = lp::bottom_overshoot(m_motion, b);
    if (above && *above > 0.0)
        return false;
    if (below && *below > 0.0 && !(above && *above >= 0.0))
        return false;
    for (const ListElement* row : m_rows) {
        if (row->m_index < 0 || row->m_current_height != row->m_target_height)
            return false;
    }
    return true;
}

lp::Bounds VirtualList::bounds() const {
    lp::Bounds b;
    b.border_min = m_border_min;
    b.border_max = m_border_max;
    b.list_height = height();
    b.content_height = m_content_height;
    b.has_rows = !m_rows.empty();
    b.first_item_at_top = bound_front_index() == 0;
    const std::int32_t back = bound_back_index();
    b.last_item_visible = back >= 0 && back == m_item_count - 1;
    return b;
}

// --- Pool ------------------------------------------------------------------------------

ListElement& VirtualList::take_element() {
    if (!m_spare.empty()) {
        ListElement* element = m_spare.back();
        m_spare.pop_back();
        return *element;
    }
    std::unique_ptr<ListElement> made =
        m_adapter ? m_adapter->create_element() : std::make_unique<ListElement>();
    made->m_list = this;
    made->set_visible(false);
    ListElement& element = *made;
    append_child(std::move(made));
    m_pool.push_back(&element);
    return element;
}

void VirtualList::bind(ListElement& element, std::int32_t index, std::int32_t) {
    element.m_index = index;
    element.m_look = ElementLook::Normal;
    m_adapter->bind_element(element, index);
    element.find_state_children();
    element.set_visible(true);
    element.place_x(x(), width());
    element.set_height_now(m_adapter->item_height(element, index));
    update_look(element);
}

void VirtualList::release(ListElement& element) {
    if (&element == m_pressed)
        cancel_press();
    element.m_index = ListElement::kUnbound;
    element.m_current_height = 0.0;
    element.set_visible(false);
    m_spare.push_back(&element);
}

void VirtualList::rebind_all(std::int32_t first_index, double offset) {
    cancel_press();
    while (!m_rows.empty()) {
        ListElement* row = m_rows.back();
        m_rows.pop_back();
        release(*row);
    }
    m_anchor = std::max(first_index, 0);
    m_motion.offset = offset;
    m_content_height = 0.0;
    fill();
    place_rows();
    mark_redraw();
}

double VirtualList::fill_limit() {
    if (!m_grow)
        return height();
    return std::max({double(height()), double(root().height()), kGrowLimit});
}

void VirtualList::recycle_front() {
    ListElement* row = m_rows.front();
    m_motion.offset += row->m_current_height;
    m_content_height -= row->m_current_height;
    m_rows.erase(m_rows.begin());
    if (row->m_index >= 0)
        m_anchor = row->m_index + 1;
    release(*row);
}

void VirtualList::recycle_back() {
    ListElement* row = m_rows.back();
    m_content_height -= row->m_current_height;
    m_rows.pop_back();
    release(*row);
}

void VirtualList::fill() {
    if (!m_adapter || m_item_count == 0) {
        while (!m_rows.empty())
            recycle_back();
        m_content_height = 0.0;
        return;
    }
    const double limit = fill_limit();
    // Rows wholly above the view go back to the pool (the pressed one stays).
    while (m_rows.size() > 1 && m_motion.offset + m_rows.front()->m_current_height <= 0.0 &&
           m_rows.front() != m_pressed)
        recycle_front();
    // Room above: bind the items before the first one.
    if (m_rows.empty()) {
        m_anchor = std::clamp(m_anchor, 0, m_item_count - 1);
        ListElement& element = take_element();
        bind(element, m_anchor, 0);
        m_rows.push_back(&element);
        m_content_height = element.m_current_height;
    }
    while (m_motion.offset > 0.0) {
        const std::int32_t front = bound_front_index();
        if (front <= 0)
            break;
        ListElement& element = take_element();
        bind(element, front - 1, 0);
        m_rows.insert(m_rows.begin(), &element);
        m_motion.offset -= element.m_current_height;
        m_content_height += element.m_current_height;
        if (element.m_current_height <= 0.0)
            break; // an empty item cannot fill the gap; stop rather than bind all
    }
    // Room below: bind the items after the last one.
    for (;;) {
        const double bottom = m_motion.offset + m_content_height;
        const std::int32_t back = bound_back_index();
        if (bottom >= limit || back < 0 || back + 1 >= m_item_count)
            break;
        ListElement& element = take_element();
        bind(element, back + 1, 0);
        m_rows.push_back(&element);
        m_content_height += element.m_current_height;
    }
    // Rows wholly below the view go back too.
    while (m_rows.size() > 1 && m_rows.back() != m_pressed &&
           m_motion.offset + m_content_height - m_rows.back()->m_current_height >= limit)
        recycle_back();
    if (const std::int32_t front = bound_front_index(); front >= 0)
        m_anchor = front;
}

void VirtualList::animate_heights(double dt) {
    const double step = kHeightSpeed * dt;
    // Which row is the first one in view, before anything moves.
    std::size_t first_visible = m_rows.size();
    double top = m_motion.offset;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const double bottom = top + m_rows[i]->m_current_height;
        if (bottom > 0.0) {
            first_visible = i;
            break;
        }
        top = bottom;
    }
    bool changed = false;
    for (std::size_t i = 0; i < m_rows.size();) {
        ListElement& row = *m_rows[i];
        const double target = row.m_index < 0 ? 0.0 : double(row.m_target_height);
        if (row.m_current_height != target) {
            const double before = row.m_current_height;
            row.m_current_height = lp::move_toward(before, target, step);
            const double change = row.m_current_height - before;
            m_content_height += change;
            // Rows in view stay where they are while rows above them change.
            if (i < first_visible)
                m_motion.offset -= change;
            else if (i == first_visible)
                m_motion.offset -= change / 2.0;
            changed = true;
        }
        if (row.m_index < 0 && row.m_current_height <= 0.0) {
            m_rows.erase(m_rows.begin() + std::ptrdiff_t(i));
            if (i < first_visible && first_visible != m_rows.size() + 1)
                --first_visible;
            row.m_current_height = 0.0;
            row.set_visible(false);
            m_spare.push_back(&row);
            changed = true;
            continue;
        }
        ++i;
    }
    if (changed)
        mark_redraw();
}

void VirtualList::place_rows() {
    double top = y() + m_motion.offset;
    for (ListElement* row : m_rows) {
        row->place_x(x(), width());
        const double bottom = top + row->m_current_height;
        const auto row_top = std::int32_t(std::lround(top));
        row->place_y(row_top, std::int32_t(std::lround(bottom)) - row_top);
        top = bottom;
    }
}

void VirtualList::update_look(ListElement& element) {
    ElementLook look = ElementLook::Normal;
    if (&element == m_pressed && !element.m_handles_own_presses)
        look = ElementLook::Pressed;
    else if (m_selected != -1 && element.m_index == m_selected)
        look = ElementLook::Selected;
    if (look != element.m_look) {
        element.show_look(look);
        mark_redraw();
    }
}

// --- Frame -------------------------------------------------------------------------------

void VirtualList::tick(double seconds) {
    if (visibility_animation() && visibility_animation()->is_running()) {
        Node::tick(seconds);
        return;
    }
    m_clock += seconds;
    const double offset_before = m_motion.offset;
    const double content_before = m_content_height;
    animate_heights(seconds);
    const lp::Catch caught = m_pen_down && !m_pressed ? lp::Catch::Yes : lp::Catch::No;
    lp::advance(m_motion, bounds(), seconds, m_pen_down ? lp::Pen::Down : lp::Pen::Up, caught);
    glide_focus(seconds);
    fill();
    if (m_motion.offset != offset_before || m_content_height != content_before) {
        place_rows();
        mark_redraw();
    }
    if (m_grow && m_content_height != m_laid_out_content) {
        m_laid_out_content = m_content_height;
        mark_layout();
    }
    for (ListElement* row : m_rows)
        row->tick(seconds);
    for (std::size_t i = 0; i < child_count(); ++i) {
        Node& other = child(i);
        auto* element = dynamic_cast<ListElement*>(&other);
        if (!element || element->m_list != this)
            other.tick(seconds);
    }
}

void VirtualList::draw(RenderSurface& surface, Point origin) {
    const ClipScope clip(surface,
                         Rect{origin.x, origin.y, origin.x + width(), origin.y + height()});
    // Whatever the skin put into the list itself lies under the rows.
    for (std::size_t i = 0; i < child_count(); ++i) {
        Node& other = child(i);
        auto* element = dynamic_cast<ListElement*>(&other);
        if (!element || element->m_list != this)
            other.draw_node(surface, {origin.x + other.x() - x(), origin.y + other.y() - y()});
    }
    if (m_focus >= 0.0 && m_highlight.has_data()) {
        const auto index = std::int32_t(std::floor(m_focus));
        if (const ListElement* row = element_for(index)) {
            const double h = row->m_current_height;
            const double top = row->y() - y() + (m_focus - index) * h;
            const Blender& blender = m_highlight_blender ? *m_highlight_blender : key_blender();
            draw_picture(surface, {origin.x, origin.y + std::int32_t(std::lround(top))},
                         {width(), std::int32_t(std::lround(h))}, m_highlight, blender);
        }
    }
    for (ListElement* row : m_rows) {
        if (row->y() + row->height() <= y() || row->y() >= y() + height() || row->height() <= 0)
            continue;
        row->draw_node(surface, {origin.x + row->x() - x(), origin.y + row->y() - y()});
    }
}

void VirtualList::layout_x() {
    for (std::size_t i = 0; i < child_count(); ++i) {
        Node& other = child(i);
        auto* element = dynamic_cast<ListElement*>(&other);
        if (element && element->m_list == this)
            continue;
        const Span span =
            place_in_space(other.anchor_x(), width(), other.border_min(Axis::X),
                           other.border_max(Axis::X), other.get_measure_x().preferred);
        other.place_x(x() + span.offset, span.size);
    }
    for (ListElement* row : m_rows)
        row->place_x(x(), width());
}

void VirtualList::layout_y() {
    for (std::size_t i = 0; i < child_count(); ++i) {
        Node& other = child(i);
        auto* element = dynamic_cast<ListElement*>(&other);
        if (element && element->m_list == this)
            continue;
        const Span span =
            place_in_space(other.anchor_y(), height(), other.border_min(Axis::Y),
                           other.border_max(Axis::Y), other.get_measure_y().preferred);
        other.place_y(y() + span.offset, span.size);
    }
    fill();
    place_rows();
}

void VirtualList::measure_y(Measure& measure) {
    const std::int32_t design = design_size(Axis::Y);
    measure.preferred = std::max(measure.preferred, design);
    measure.minimum = std::max(measure.minimum, design);
    if (m_grow) {
        fill();
        m_laid_out_content = m_content_height;
        const auto content =
            std::int32_t(std::lround(m_border_min + m_content_height + m_border_max));
        measure.preferred = std::max(measure.preferred, content);
    }
}

// --- Pen ----------------------------------------------------------------------------------

ListElement* VirtualList::element_at(Point point) const {
    if (!hit_test(point))
        return nullptr;
    for (ListElement* row : m_rows) {
        if (row->m_index >= 0 && row->height() > 0 && row->hit_test(point))
            return row;
    }
    return nullptr;
}

void VirtualList::press(ListElement* element, const PointerEvent& event) {
    m_pressed = element;
    if (element->m_handles_own_presses)
        element->on_touch(event);
    update_look(*element);
}

void VirtualList::cancel_press() {
    ListElement* element = m_pressed;
    if (!element)
        return;
    m_pressed = nullptr;
    if (element->m_handles_own_presses) {
        PointerEvent release;
        release.x = m_last_pen.x;
        release.y = m_last_pen.y;
        release.kind = PointerKind::Up;
        release.cancelled = true;
        element->on_touch(release);
    }
    update_look(*element);
}

void VirtualList::drag_by(double dy) {
    if (dy == 0.0)
        return;
    m_motion.offset += dy * lp::drag_factor(dy, m_motion, bounds());
    // The finger, not inertia, moves the list now.
    m_motion.velocity = 0.0;
    fill();
    place_rows();
    mark_redraw();
}

void VirtualList::pen_down(const PointerEvent& event) {
    cancel_press();
    const Point point{event.x, event.y};
    m_pen_down = true;
    m_last_pen = point;
    m_tracker.press(point, now_ms());
    // A moving list is only caught; a resting one presses the row under the pen.
    if (m_motion.velocity == 0.0) {
        if (ListElement* element = element_at(point))
            press(element, event);
    }
}

void VirtualList::pen_move(const PointerEvent& event) {
    if (!m_pen_down)
        return;
    const Point point{event.x, event.y};
    m_tracker.sample(point, now_ms());
    if (m_pressed) {
        if (m_tracker.in_dead_zone()) {
            // A trembling finger neither scrolls nor loses the press.
            if (m_pressed->m_handles_own_presses)
                m_pressed->on_touch(event);
            return;
        }
        // The finger clearly moves: this is a drag, not a tap.
        cancel_press();
    }
    const double dy = double(point.y) - m_last_pen.y;
    m_last_pen = point;
    drag_by(dy);
}

void VirtualList::pen_up(const PointerEvent& event) {
    if (!m_pen_down)
        return;
    const Point point{event.x, event.y};
    m_pen_down = false;
    // The release is the last sample: a finger that stopped before lifting
    // flings nothing.
    m_tracker.sample(point, now_ms());
    if (ListElement* element = m_pressed) {
        m_motion.velocity = 0.0;
        if (event.cancelled || element_at(point) != element) {
            m_last_pen = point;
            cancel_press();
            return;
        }
        m_pressed = nullptr;
        if (element->m_handles_own_presses) {
            element->on_touch(event);
            update_look(*element);
            return;
        }
        update_look(*element);
        // Last: the data source may rebuild the list.
        if (m_adapter && element->m_index >= 0)
            m_adapter->element_clicked(*this, element->m_index);
        return;
    }
    const auto b = bounds();
    const auto above = lp::top_overshoot(m_motion, b);
    const auto below = lp::bottom_overshoot(m_motion, b);
    const bool overshot = (above && *above > 0.0) || (below && *below > 0.0);
    if (overshot || event.cancelled)
        m_motion.velocity = 0.0;
    else
        m_motion.velocity = lp::clamp_fling(m_tracker.velocity().y);
}

bool VirtualList::on_touch(const PointerEvent& event) {
    switch (event.kind) {
    case PointerKind::Down:
        if (!hit_test({event.x, event.y}) || event.cancelled)
            return false;
        pen_down(event);
        return true;
    case PointerKind::Move:
        if (!m_pen_down)
            return false;
        if (event.cancelled) {
            pen_up(event);
            return true;
        }
        pen_move(event);
        return true;
    case PointerKind::Up:
        if (!m_pen_down)
            return false;
        pen_up(event);
        return true;
    }
    return false;
}

void VirtualList::forward_to_captured(std::int32_t px, std::int32_t py) {
    PointerEvent move;
    move.x = px;
    move.y = py;
    move.kind = PointerKind::Move;
    pen_move(move);
}

void VirtualList::on_visibility_changed(bool effective) {
    Node::on_visibility_changed(effective);
    if (!effective) {
        // Nothing stays pressed on a list that disappears, and nothing clicks.
        cancel_press();
        m_pen_down = false;
    }
}

// --- Keys ---------------------------------------------------------------------------------

void VirtualList::clear_focus() {
    m_focus = -1.0;
    m_focus_target = -1.0;
    m_focus_speed = 0.0;
    m_focus_key_held = false;
    mark_redraw();
}

bool VirtualList::on_key(const KeyEvent& event) {
    const bool up = event.code == key::Up;
    const bool down = event.code == key::Down;
    if (up || down) {
        if (m_item_count == 0)
            return false;
        if (!event.pressed) {
            m_focus_key_held = false;
            m_focus_speed = std::clamp(m_focus_speed, -kFocusStep, kFocusStep);
            return true;
        }
        m_focus_key_held = true;
        if (m_focus < 0.0) {
            const std::int32_t first = std::max(first_visible_index(), 0);
            m_focus = first;
            m_focus_target = first;
            m_focus_speed = up ? -kFocusStep : kFocusStep;
        } else if (up) {
            // Turning round starts the glide afresh.
            m_focus_speed = std::min(m_focus_speed, 0.0) - kFocusStep;
            const double from = std::min(m_focus, m_focus_target);
            m_focus_target = std::max(0.0, std::ceil(from - kFocusEpsilon) - 1.0);
        } else if (m_focus < m_item_count - 1) {
            m_focus_speed = std::max(m_focus_speed, 0.0) + kFocusStep;
            const double from = std::max(m_focus, m_focus_target);
            m_focus_target =
                std::min(double(m_item_count - 1), std::floor(from + kFocusEpsilon) + 1.0);
        }
        m_motion.velocity = 0.0;
        keep_focus_in_view();
        mark_redraw();
        return true;
    }
    const auto focused = std::int32_t(std::lround(m_focus));
    const bool in_range = m_focus >= 0.0 && focused < m_item_count;
    if (event.code == key::Enter && in_range) {
        if (event.pressed && m_adapter)
            m_adapter->element_clicked(*this, focused);
        return true;
    }
    if (in_range) {
        if (ListElement* element = element_for(focused); element && element->on_key(event))
            return true;
    }
    return Node::on_key(event);
}

void VirtualList::glide_focus(double dt) {
    if (m_focus < 0.0 || m_focus_speed == 0.0)
        return;
    const ListElement* row = element_for(std::int32_t(std::floor(m_focus)));
    double h = row ? row->m_current_height : 0.0;
    if (h <= 0.0)
        h = m_rows.empty() ? 1.0 : std::max(m_content_height / double(m_rows.size()), 1.0);
    m_focus = lp::move_toward(m_focus, m_focus_target, std::abs(m_focus_speed) * dt / h);
    if (m_focus == m_focus_target && !m_focus_key_held)
        m_focus_speed = 0.0; // at rest on a whole item
    keep_focus_in_view();
    mark_redraw();
}

void VirtualList::keep_focus_in_view() {
    if (m_focus < 0.0)
        return;
    const auto lower = std::int32_t(std::floor(m_focus));
    const auto upper = std::min(std::int32_t(std::ceil(m_focus)), m_item_count - 1);
    for (std::int32_t index : {lower, upper}) {
        if (index < 0 || index >= m_item_count)
            continue;
        ListElement* row = element_for(index);
        if (!row) {
            if (index < bound_front_index())
                rebind_all(index, index == 0 ? m_border_min : 0);
            else
                rebind_all(index, 0);
            row = element_for(index);
            if (!row)
                continue;
        }
        double top = m_motion.offset;
        for (const ListElement* each : m_rows) {
            if (each == row)
                break;
            top += each->m_current_height;
        }
        // Within the scroll borders: the bottom one keeps clear of what
        // floats over the list (the keypad button).
        const double bottom = top + row->m_current_height;
        if (top < m_border_min)
            m_motion.offset -= top - m_border_min;
        else if (bottom > height() - m_border_max)
            m_motion.offset -= bottom - (height() - m_border_max);
        fill();
    }
    place_rows();
}

} // namespace telvara::ui
