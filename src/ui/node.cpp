// Node: tree maintenance, visibility, invalidation, plain layout, drawing with
// the off-screen cache, input routing and skin loading.
#include "ui/node.h"

#include "runtime/log.h"
#include "ui/blender.h"
#include "ui/drawing.h"
#include "ui/node_registry.h"
#include "ui/properties.h"
#include "ui/visibility_animation.h"

#include <algorithm>
#include <atomic>

namespace telvara::ui {

namespace {

std::atomic<std::int64_t> live_nodes{0};

std::unique_ptr<Blender> make_cache_blender(std::uint32_t alpha) {
    if (alpha < Node::no_cache_alpha)
        return std::make_unique<AlphaBlender>(alpha);
    return std::make_unique<KeyBlender>();
}

// A damaged skin can make a child list point back at an ancestor. Loading is
// bounded in depth and in nodes per top-level load (kMaxNodesPerLoad), so such
// a skin yields a truncated tree instead of endless recursion.
struct LoadBudget {
    int depth = 0;
    int nodes = 0;
};
thread_local LoadBudget load_budget;

class LoadLevel {
  public:
    LoadLevel() {
        if (load_budget.depth++ == 0)
            load_budget.nodes = 0;
    }
    ~LoadLevel() { --load_budget.depth; }
    LoadLevel(const LoadLevel&) = delete;
    LoadLevel& operator=(const LoadLevel&) = delete;

    bool children_allowed() const { return load_budget.depth <= kMaxNodeDepth; }
    bool take_node() { return ++load_budget.nodes <= kMaxNodesPerLoad; }
};

WString pair_text(std::int32_t a, std::int32_t b) {
    return to_wstring(a) + u" " + to_wstring(b);
}

} // namespace

Node::Node() {
    ++live_nodes;
}

Node::~Node() {
    // Children go first so that none of them outlives the pointer to us.
    m_captured = nullptr;
    m_children.clear();
    --live_nodes;
}

std::int64_t Node::live_count() {
    return live_nodes.load();
}

// --- Tree --------------------------------------------------------------------

void Node::remove_child(Node* child, std::size_t index) {
    if (index >= m_children.size() || m_children[index].get() != child) {
        auto it = std::find_if(m_children.begin(), m_children.end(),
                               [child](const auto& owned) { return owned.get() == child; });
        if (it == m_children.end())
            return;
        index = static_cast<std::size_t>(it - m_children.begin());
    }
    if (m_captured == child)
        m_captured = nullptr;
    mark_layout();
    mark_redraw();
    std::unique_ptr<Node> removed = std::move(m_children[index]);
    m_children.erase(m_children.begin() + static_cast<std::ptrdiff_t>(index));
    removed->m_parent = nullptr;
}

Node& Node::insert_child(std::unique_ptr<Node> child, std::size_t index) {
    Node& inserted = *child;
    child->m_parent = this;
    child->m_ancestors_enabled = is_effectively_enabled();
    child->m_ancestors_visible = is_effectively_visible();
    index = std::min(index, m_children.size());
    m_children.insert(m_children.begin() + static_cast<std::ptrdiff_t>(index), std::move(child));
    if (!m_layout_needed)
        mark_layout();
    return inserted;
}

void Node::child_changed(ChildChange, Node*) {}

Node& Node::root() {
    Node* node = this;
    while (node->m_parent)
        node = node->m_parent;
    return *node;
}

template <class Self> Self* Node::find_in(Self& self, WStringView name) {
    for (auto& child : self.m_children) {
        if (child->m_name == name)
            return child.get();
    }
    for (auto& child : self.m_children) {
        if (Self* found = find_in<Self>(*child, name))
            return found;
    }
    return nullptr;
}

Node* Node::find(WStringView name) {
    return find_in<Node>(*this, name);
}
const Node* Node::find(WStringView name) const {
    return find_in<const Node>(*this, name);
}

void Node::broadcast(std::intptr_t a, std::intptr_t b) {
    for (auto& child : m_children)
        child->broadcast(a, b);
}

void Node::refresh() {
    for (auto& child : m_children)
        child->refresh();
    mark_redraw();
}

// --- Diagnostics ---------------------------------------------------------------

WString Node::dump_line(int depth) const {
    WString line(static_cast<std::size_t>(std::max(depth, 0)), u'\t');
    line += u"{";
    line += m_name;
    line += u"} position=" + pair_text(m_x, m_y);
    line += u" size=" + pair_text(m_width, m_height);
    line += u" design_size=" + pair_text(m_design_size.width, m_design_size.height);
    line += u" rs.size=" + pair_text(m_cache_surface.width(), m_cache_surface.height());
    line += u"\n";
    return line;
}

void Node::dump(int depth) const {
    runtime::log() << dump_line(depth);
    for (const auto& child : m_children)
        child->dump(depth + 1);
}

// --- Skin ----------------------------------------------------------------------

bool Node::load_from_skin(const Properties& skin, WStringView name) {
    const NodeRecord record = skin.find_node(name);
    if (!record)
        return false;
    // Through remove_child so that subclasses drop what they keep per child.
    while (!m_children.empty())
        remove_child(m_children.back().get(), m_children.size() - 1);
    m_border_min = {};
    m_design_size = {};
    m_border_max = {};
    m_cache = false;
    m_cache_alpha = no_cache_alpha;
    m_cache_blender.reset();
    m_visibility_animation.reset();
    load(skin, record);
    mark_layout();
    return true;
}

void Node::load(const Properties& skin, NodeRecord record) {
    LoadLevel level;
    m_name = skin.read_string(record, u"id", u"");
    m_anchor_x =
        parse_scale_type(skin.read_string(record, u"anchor_x", u"")).value_or(ScaleType::BothSide);
    m_anchor_y =
        parse_scale_type(skin.read_string(record, u"anchor_y", u"")).value_or(ScaleType::BothSide);
    if (skin.property_count(record, PropertyKind::Point) > 0) {
        m_border_min = skin.read_point(record, u"border_min", Point{});
        const Point design = skin.read_point(record, u"design_size", Point{});
        m_design_size = {design.x, design.y};
        m_border_max = skin.read_point(record, u"border_max", Point{});
    }
    if (skin.property_count(record, PropertyKind::Integer) > 0 ||
        skin.property_count(record, PropertyKind::Font) > 0) {
        m_cache = skin.read_int(record, u"cache", 0) != 0;
        if (m_cache) {
            m_cache_alpha = skin.read_int(record, u"cache_alpha", no_cache_alpha);
            m_cache_blender = make_cache_blender(m_cache_alpha);
        }
    }
    const std::uint32_t count = level.children_allowed() ? skin.child_count(record) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const NodeRecord child_record = skin.child(record, i);
        if (!child_record) // a damaged child entry: no child
            continue;
        if (!level.take_node()) {
            runtime::log() << u"Node::load too many nodes below {" << m_name << u"}\n";
            break;
        }
        std::unique_ptr<Node> child =
            NodeRegistry::instance().create(skin.read_string(child_record, u"type", u""));
        child->load(skin, child_record);
        insert_child(std::move(child), m_children.size());
    }
    const WString animation = skin.read_string(record, u"visibility_animation", u"");
    if (!animation.empty())
        m_visibility_animation = create_visibility_animation(animation);
}

// --- Visibility ------------------------------------------------------------------

void Node::set_visible(bool visible) {
    if (visible == m_visible)
        return;
    const bool was_effective = is_effectively_visible();
    m_visible = visible;
    const bool effective = is_effectively_visible();
    if (effective != was_effective)
        on_visibility_changed(effective);
    mark_redraw();
    if (m_parent) {
        // A pressed node that disappears must not stay pressed.
        if (!effective && m_parent->m_captured == this)
            m_parent->release_capture_cancelled();
        m_parent->child_changed(ChildChange::Visibility, this);
    }
}

void Node::on_visibility_changed(bool effective) {
    const bool mine = is_effectively_visible();
    for (auto& child : m_children) {
        const bool before = child->is_effectively_visible();
        child->m_ancestors_visible = mine;
        if (child->is_effectively_visible() != before)
            child->on_visibility_changed(child->is_effectively_visible());
    }
    mark_redraw();
    if (!effective) {
        // A hiding animation still plays from the cache; tick releases it after.
        if (!m_visibility_animation || !m_visibility_animation->is_running())
            m_cache_surface.resize(0, 0);
        release_capture_cancelled();
    }
}

void Node::release_capture_cancelled() {
    Node* child = m_captured;
    if (!child)
        return;
    m_captured = nullptr;
    PointerEvent release;
    release.x = child->m_x + child->m_width / 2;
    release.y = child->m_y + child->m_height / 2;
    release.kind = PointerKind::Up;
    release.cancelled = true;
    child->on_touch(release);
}

void Node::set_visible_animated(bool visible) {
    if (visible == m_visible)
        return;
    if (visible)
        set_visible(true);
    if (m_visibility_animation) {
        if (m_visibility_animation->is_running()) {
            m_visibility_animation->reverse();
        } else {
            // Lay out what is pending so that the cached picture is the final one.
            Node& top = root();
            top.place_x(top.m_x, top.m_width);
            top.place_y(top.m_y, top.m_height);
            render_cache();
            m_visibility_animation->start(
                visible ? AnimationDirection::Show : AnimationDirection::Hide,
                m_cache_blender ? make_cache_blender(m_cache_alpha) : nullptr);
        }
        mark_redraw();
    }
    if (!visible)
        set_visible(false);
}

void Node::set_enabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    struct Propagate {
        static void down(Node& node) {
            const bool mine = node.is_effectively_enabled();
            for (auto& child : node.m_children) {
                if (child->m_ancestors_enabled != mine) {
                    child->m_ancestors_enabled = mine;
                    down(*child);
                }
            }
        }
    };
    Propagate::down(*this);
    mark_redraw();
}

void Node::set_visibility_animation(std::unique_ptr<VisibilityAnimation> animation) {
    m_visibility_animation = std::move(animation);
}

void Node::set_cache(bool cache, std::uint32_t alpha) {
    m_cache = cache;
    m_cache_alpha = alpha;
    m_cache_blender = cache ? make_cache_blender(alpha) : nullptr;
    if (!cache)
        m_cache_surface.resize(0, 0);
    mark_redraw();
}

void Node::tick(double seconds) {
    if (m_visibility_animation && m_visibility_animation->is_running()) {
        m_visibility_animation->advance(seconds);
        if (!m_visibility_animation->is_running() && !is_effectively_visible())
            m_cache_surface.resize(0, 0);
        mark_redraw();
        return;
    }
    for (auto& child : m_children)
        child->tick(seconds);
}

// --- Invalidation ------------------------------------------------------------------

// No early stop: a flag set on an ancestor says nothing about the ones above it.
void Node::mark_redraw() {
    for (Node* node = this; node; node = node->m_parent)
        node->m_redraw_needed = true;
}

void Node::mark_layout() {
    for (Node* node = this; node; node = node->m_parent) {
        node->m_layout_needed = true;
        node->m_measure_x = stale_measure;
        node->m_measure_y = stale_measure;
    }
}

// --- Layout -------------------------------------------------------------------------

void Node::set_anchor(ScaleType x, ScaleType y) {
    m_anchor_x = x;
    m_anchor_y = y;
    mark_layout();
}

std::int32_t Node::border_min(Axis axis) const {
    return axis == Axis::X ? m_border_min.x : m_border_min.y;
}
std::int32_t Node::border_max(Axis axis) const {
    return axis == Axis::X ? m_border_max.x : m_border_max.y;
}
std::int32_t Node::design_size(Axis axis) const {
    return axis == Axis::X ? m_design_size.width : m_design_size.height;
}

void Node::set_borders(Point border_min, Point border_max) {
    m_border_min = border_min;
    m_border_max = border_max;
    mark_layout();
}

void Node::set_design_size(Size size) {
    m_design_size = size;
    mark_layout();
}

const Measure& Node::get_measure_x() {
    if (is_stale(m_measure_x)) {
        Measure measure;
        measure_x(measure);
        m_measure_x = measure;
    }
    return m_measure_x;
}

const Measure& Node::get_measure_y() {
    if (is_stale(m_measure_y)) {
        Measure measure;
        measure_y(measure);
        m_measure_y = measure;
    }
    return m_measure_y;
}

const Measure& Node::get_measure(Axis axis) {
    return axis == Axis::X ? get_measure_x() : get_measure_y();
}

void Node::measure_x(Measure& measure) {
    measure_plain(Axis::X, measure);
}
void Node::measure_y(Measure& measure) {
    measure_plain(Axis::Y, measure);
}

void Node::measure_plain(Axis axis, Measure& measure) {
    const std::int32_t design = design_size(axis);
    measure.preferred = std::max(measure.preferred, design);
    measure.minimum = std::max(measure.minimum, design);
    for (auto& child : m_children) {
        const Measure asked = child->get_measure(axis);
        const std::int32_t need =
            adds_to_measure(child->anchor(axis))
                ? child->border_min(axis) + asked.preferred + child->border_max(axis)
                : 0;
        measure.preferred = std::max(measure.preferred, need);
        measure.minimum = std::max(measure.minimum, need - asked.preferred + asked.minimum);
    }
}

void Node::place_x(std::int32_t x, std::int32_t width) {
    if (x == m_x && width == m_width && !m_layout_needed)
        return;
    m_x = x;
    m_width = width;
    // A new width can change the height (wrapped text): measure it again.
    m_layout_needed = true;
    m_measure_y = stale_measure;
    m_redraw_needed = true;
    if (m_observer)
        m_observer->node_placed_x(*this, width);
    layout_x();
}

void Node::place_y(std::int32_t y, std::int32_t height) {
    if (y == m_y && height == m_height && !m_layout_needed)
        return;
    m_y = y;
    m_height = height;
    m_layout_needed = false;
    m_redraw_needed = true;
    if (m_observer)
        m_observer->node_placed_y(*this, height);
    layout_y();
}

void Node::place(Axis axis, std::int32_t position, std::int32_t size) {
    if (axis == Axis::X)
        place_x(position, size);
    else
        place_y(position, size);
}

void Node::layout_x() {
    layout_plain(Axis::X);
}
void Node::layout_y() {
    layout_plain(Axis::Y);
}

void Node::layout_plain(Axis axis) {
    const std::int32_t space = extent(axis);
    const std::int32_t origin = position(axis);
    for (auto& child : m_children) {
        const Span span =
            place_in_space(child->anchor(axis), space, child->border_min(axis),
                           child->border_max(axis), child->get_measure(axis).preferred);
        child->place(axis, origin + span.offset, span.size);
    }
}

// --- Drawing -----------------------------------------------------------------------

void Node::draw(RenderSurface& surface, Point origin) {
    for (auto& child : m_children)
        child->draw_node(surface, {origin.x + child->m_x - m_x, origin.y + child->m_y - m_y});
}

void Node::render_cache() {
    m_cache_surface.resize(m_width, m_height);
    fill_pixel(m_cache_surface, Point{}, Size{m_width, m_height}, kKeyColour);
    draw(m_cache_surface, Point{});
}

void Node::draw_node(RenderSurface& surface, Point origin) {
    if (m_visibility_animation && m_visibility_animation->is_running()) {
        m_visibility_animation->draw(surface, origin, m_cache_surface);
        return;
    }
    if (!m_visible)
        return;
    if (m_cache) {
        if (m_redraw_needed)
            render_cache();
        blit(surface, origin, m_cache_surface, m_cache_blender ? *m_cache_blender : key_blender());
    } else {
        draw(surface, origin);
    }
    m_redraw_needed = false;
}

// --- Input ---------------------------------------------------------------------------

bool Node::hit_test(Point point) const {
    return m_x <= point.x && point.x < m_x + m_width && m_y <= point.y && point.y < m_y + m_height;
}

void Node::forward_to_captured(std::int32_t x, std::int32_t y) {
    if (m_captured)
        m_captured->forward_to_captured(x, y);
}

bool Node::on_touch(const PointerEvent& event) {
    if (m_captured) {
        Node* target = m_captured;
        if (!event.is_pressed() || event.cancelled)
            m_captured = nullptr;
        target->on_touch(event);
        return true;
    }
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        Node& child = **it;
        if (!child.is_effectively_visible() || !child.is_effectively_enabled() ||
            !child.hit_test({event.x, event.y}))
            continue;
        if (child.on_touch(event)) {
            if (event.kind == PointerKind::Down && !event.cancelled)
                m_captured = &child;
            return true;
        }
    }
    return false;
}

bool Node::on_key(const KeyEvent& event) {
    for (auto& child : m_children) {
        if (child->is_effectively_visible() && child->on_key(event))
            return true;
    }
    return false;
}

} // namespace telvara::ui
