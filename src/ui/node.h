#pragma once
// Node: the base of every visible element and every screen. A rectangle with a
// name, per-axis layout rules, an ordered list of owned children, visibility,
// enabled and redraw/layout flags that propagate, an optional off-screen cache
// and an optional visibility animation.

#include "platform/text.h"
#include "ui/geometry.h"
#include "ui/input_event.h"
#include "ui/layout.h"
#include "ui/properties.h"
#include "ui/render_surface.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace telvara::ui {

class Blender;
class Node;
class VisibilityAnimation;

// Told after a node got its new rectangle on one axis, before its children are
// placed; containers use it to follow their content.
class NodeObserver {
  public:
    virtual ~NodeObserver() = default;
    virtual void node_placed_x(Node& node, std::int32_t width) = 0;
    virtual void node_placed_y(Node& node, std::int32_t height) = 0;
};

// What child_changed reports.
enum class ChildChange : std::int32_t { Visibility = 1 };

class Node {
  public:
    Node();
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    // Nodes alive in the process.
    static std::int64_t live_count();

    // --- Overridable behaviour -------------------------------------------

    // Destroys the child at `index` (which must be `child`; a mismatch is
    // looked up by pointer, an unknown child is ignored).
    virtual void remove_child(Node* child, std::size_t index);
    // Takes ownership; an index past the end appends. Returns the child.
    virtual Node& insert_child(std::unique_ptr<Node> child, std::size_t index);
    virtual void child_changed(ChildChange change, Node* child);
    virtual void dump(int depth) const;
    // Passed to every child unchanged; screens give the arguments meaning.
    virtual void broadcast(std::intptr_t a, std::intptr_t b);
    // Reads the base properties and builds the children from the skin.
    virtual void load(const Properties& skin, NodeRecord record);
    // Re-applies skin-derived content below and marks redraw.
    virtual void refresh();
    virtual void on_visibility_changed(bool effective);
    virtual void tick(double seconds);
    // Draws the children; `origin` is where this node's top-left lands.
    virtual void draw(RenderSurface& surface, Point origin);
    virtual void layout_x();
    virtual void layout_y();
    // Raise `measure` to what this node asks for along the axis.
    virtual void measure_x(Measure& measure);
    virtual void measure_y(Measure& measure);
    virtual bool hit_test(Point point) const;
    // Carries pointer moves (screen position) to the captured child.
    virtual void forward_to_captured(std::int32_t x, std::int32_t y);
    virtual bool on_touch(const PointerEvent& event);
    virtual bool on_key(const KeyEvent& event);

    // --- Fixed behaviour ---------------------------------------------------

    // Replaces this node's content with the top-level skin node `name`;
    // false (node untouched) when the skin has no such node.
    bool load_from_skin(const Properties& skin, WStringView name);

    // Direct children first, then each child's subtree in child order.
    Node* find(WStringView name);
    const Node* find(WStringView name) const;

    void set_visible(bool visible);
    void set_visible_animated(bool visible);
    void set_enabled(bool enabled);

    void place_x(std::int32_t x, std::int32_t width);
    void place_y(std::int32_t y, std::int32_t height);
    void place(Axis axis, std::int32_t position, std::int32_t size);

    const Measure& get_measure_x();
    const Measure& get_measure_y();
    const Measure& get_measure(Axis axis);

    void draw_node(RenderSurface& surface, Point origin);

    // Upwards to the root.
    void mark_redraw();
    void mark_layout();

    // The line dump() logs for this node.
    WString dump_line(int depth) const;

    // --- Tree ----------------------------------------------------------------

    Node& append_child(std::unique_ptr<Node> child) {
        return insert_child(std::move(child), m_children.size());
    }
    std::size_t child_count() const { return m_children.size(); }
    Node& child(std::size_t index) { return *m_children[index]; }
    const Node& child(std::size_t index) const { return *m_children[index]; }
    Node* parent() const { return m_parent; }
    Node& root();
    Node* captured() const { return m_captured; }

    // --- Properties ------------------------------------------------------------

    const WString& name() const { return m_name; }
    void set_name(WString name) { m_name = std::move(name); }

    NodeObserver* observer() const { return m_observer; }
    void set_observer(NodeObserver* observer) { m_observer = observer; }

    ScaleType anchor_x() const { return m_anchor_x; }
    ScaleType anchor_y() const { return m_anchor_y; }
    ScaleType anchor(Axis axis) const { return axis == Axis::X ? m_anchor_x : m_anchor_y; }
    void set_anchor(ScaleType x, ScaleType y);

    Point border_min() const { return m_border_min; }
    Size design_size() const { return m_design_size; }
    Point border_max() const { return m_border_max; }
    std::int32_t border_min(Axis axis) const;
    std::int32_t border_max(Axis axis) const;
    std::int32_t design_size(Axis axis) const;
    // Each marks layout: the measures depend on them.
    void set_borders(Point border_min, Point border_max);
    void set_design_size(Size size);

    bool is_visible() const { return m_visible; }
    bool ancestors_visible() const { return m_ancestors_visible; }
    bool is_effectively_visible() const { return m_visible && m_ancestors_visible; }
    bool is_enabled() const { return m_enabled; }
    bool ancestors_enabled() const { return m_ancestors_enabled; }
    bool is_effectively_enabled() const { return m_enabled && m_ancestors_enabled; }
    bool redraw_needed() const { return m_redraw_needed; }
    bool layout_needed() const { return m_layout_needed; }

    std::int32_t x() const { return m_x; }
    std::int32_t y() const { return m_y; }
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::int32_t position(Axis axis) const { return axis == Axis::X ? m_x : m_y; }
    std::int32_t extent(Axis axis) const { return axis == Axis::X ? m_width : m_height; }

    // Off-screen cache: the node draws into its own surface and that surface
    // is blitted through the blender (key colour transparent, or alpha).
    bool has_cache() const { return m_cache; }
    // `alpha` below no_cache_alpha mixes the picture with that alpha;
    // otherwise it is copied with the key colour transparent.
    static constexpr std::uint32_t no_cache_alpha = 0xFFFFFFFF;
    void set_cache(bool cache, std::uint32_t alpha = no_cache_alpha);
    std::uint32_t cache_alpha() const { return m_cache_alpha; }
    const RenderSurface& cache_surface() const { return m_cache_surface; }
    const Blender* cache_blender() const { return m_cache_blender.get(); }

    VisibilityAnimation* visibility_animation() const { return m_visibility_animation.get(); }
    void set_visibility_animation(std::unique_ptr<VisibilityAnimation> animation);

  protected:
    // The placement of a plain node's children / the measure of a plain node
    // along one axis; the tables reuse them for the axis they do not own.
    void layout_plain(Axis axis);
    void measure_plain(Axis axis, Measure& measure);

  private:
    void render_cache();
    void release_capture_cancelled();
    template <class Self> static Self* find_in(Self& self, WStringView name);

    WString m_name;
    Node* m_parent = nullptr;
    NodeObserver* m_observer = nullptr;
    ScaleType m_anchor_x = ScaleType::BothSide;
    ScaleType m_anchor_y = ScaleType::BothSide;
    Point m_border_min;
    Size m_design_size;
    Measure m_measure_x = stale_measure;
    Measure m_measure_y = stale_measure;
    Point m_border_max;
    bool m_visible = true;
    bool m_ancestors_visible = true;
    bool m_enabled = true;
    bool m_ancestors_enabled = true;
    bool m_redraw_needed = true;
    bool m_layout_needed = true;
    Node* m_captured = nullptr;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    RenderSurface m_cache_surface;
    bool m_cache = false;
    std::uint32_t m_cache_alpha = no_cache_alpha;
    std::unique_ptr<Blender> m_cache_blender;
    std::vector<std::unique_ptr<Node>> m_children;
    std::unique_ptr<VisibilityAnimation> m_visibility_animation;
};

} // namespace telvara::ui
