#pragma once
// The virtual list ("vlist"): a pool of element nodes bound to the item
// indices of a data source, scrolled by finger with inertia and elastic
// borders, with a keyboard focus that glides between items and a normal,
// pressed or selected look per element. Only the items in view are bound;
// elements that scroll out are reused for the ones that scroll in.

#include "platform/text.h"
#include "ui/list_physics.h"
#include "ui/node.h"
#include "ui/picture.h"
#include "ui/press_tracker.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace telvara::ui {

class Blender;
class VirtualList;

// The look an element shows through its state children.
enum class ElementLook { Normal, Pressed, Selected };

// One row of the list. Its children "#vlist_normal", "#vlist_pressed" and
// "#vlist_selected" (each optional) show its look; "element_size" (vertical
// part) is its height in the list.
class ListElement : public Node {
  public:
    static constexpr std::int32_t kUnbound = -1;

    std::int32_t index() const { return m_index; }

    // The height the list lays the element out with now, and the one it moves
    // toward at kHeightSpeed.
    double current_height() const { return m_current_height; }
    std::int32_t target_height() const { return m_target_height; }
    void set_target_height(std::int32_t height);
    // Jumps to the height without animating.
    void set_height_now(std::int32_t height);

    // The skin's "element_size" height; 0 when absent.
    std::int32_t element_size() const { return m_element_size; }
    void set_element_size(std::int32_t height) { m_element_size = height; }

    // When set, pen events over the element go to the element (and its
    // buttons) instead of the list reporting a click.
    bool handles_own_presses() const { return m_handles_own_presses; }
    void set_handles_own_presses(bool own) { m_handles_own_presses = own; }

    // The skin element the content was last built from, so that a data
    // source rebuilds only when an item asks for another one.
    const WString& content_name() const { return m_content_name; }
    void set_content_name(WString name) { m_content_name = std::move(name); }

    ElementLook look() const { return m_look; }
    // Looks the three state children up again (after the content changed)
    // and shows the current look.
    void find_state_children();
    void show_look(ElementLook look);

    void load(const Properties& skin, NodeRecord record) override;
    void remove_child(Node* child, std::size_t index) override;

  private:
    friend class VirtualList;

    void apply_look();

    VirtualList* m_list = nullptr; // the list whose pool holds this element
    std::int32_t m_index = kUnbound;
    double m_current_height = 0.0;
    std::int32_t m_target_height = 0;
    std::int32_t m_element_size = 0;
    bool m_handles_own_presses = false;
    ElementLook m_look = ElementLook::Normal;
    WString m_content_name;
    Node* m_normal = nullptr;
    Node* m_pressed = nullptr;
    Node* m_selected = nullptr;
};

// What a screen implements to show its items in a list.
class ListAdapter {
  public:
    virtual std::int32_t item_count() const = 0;
    // A new element for the pool; the default is an empty ListElement.
    virtual std::unique_ptr<ListElement> create_element();
    // Fills `element` for item `index` (its index is already set).
    virtual void bind_element(ListElement& element, std::int32_t index) = 0;
    // Height of a bound item: by default the element's "element_size", else
    // its measured height.
    virtual std::int32_t item_height(ListElement& element, std::int32_t index);
    // A tap on a resting list released over the item (or Enter on the focus).
    virtual void element_clicked(VirtualList& list, std::int32_t index) = 0;

  protected:
    ~ListAdapter() = default;
};

class VirtualList : public Node {
  public:
    // Speed of element height changes, pixels per second.
    static constexpr double kHeightSpeed = 200.0;
    // Change of the keyboard focus speed per key press, pixels per second.
    static constexpr double kFocusStep = 200.0;

    VirtualList();
    ~VirtualList() override;

    // Not owned; the list binds nothing without one. Rebinds from the start.
    void set_adapter(ListAdapter* adapter);
    ListAdapter* adapter() const { return m_adapter; }

    // Reads the item count again and rebinds the elements in view (items
    // past the new end shrink away).
    void data_changed();
    // Item `index` left the data source: its element shrinks away in place
    // and the items after it move up as it goes.
    void item_removed(std::int32_t index);
    // An item entered the data source at `index` (0 ... count): the items
    // from there on move down; in view, its element grows in place.
    void item_inserted(std::int32_t index);

    std::int32_t item_count() const { return m_item_count; }
    std::int32_t selected_index() const { return m_selected; }
    void set_selected_index(std::int32_t index);

    // Puts the item at the top of the list (item 0 at its rest position).
    void scroll_to_item(std::int32_t index);

    // Scroll state.
    double scroll_offset() const { return m_motion.offset; }
    double velocity() const { return m_motion.velocity; }
    void set_velocity(double velocity) { m_motion.velocity = velocity; }
    double content_height() const { return m_content_height; }
    std::int32_t first_visible_index() const;
    std::int32_t last_visible_index() const;
    bool is_at_rest() const;
    bool is_pen_down() const { return m_pen_down; }
    ListElement* pressed_element() const { return m_pressed; }

    // Keyboard focus in items (-1: none) and its glide speed.
    double focus_position() const { return m_focus; }
    double focus_speed() const { return m_focus_speed; }
    void clear_focus();

    // Skin properties.
    std::int32_t scroll_border_min() const { return m_border_min; }
    std::int32_t scroll_border_max() const { return m_border_max; }
    void set_scroll_borders(std::int32_t border_min, std::int32_t border_max);
    bool locked() const { return m_locked; }
    bool grows() const { return m_grow; }
    void set_grow(bool grow);
    void set_highlight(Picture picture, std::int32_t alpha = -1);

    // Elements in the pool: bound, shrinking and spare.
    std::size_t pool_size() const { return m_pool.size(); }
    // The elements laid out now, top to bottom (shrinking ones included).
    const std::vector<ListElement*>& rows() const { return m_rows; }
    // The bound element of an item, or null when the item is not in view.
    ListElement* element_for(std::int32_t index) const;

    void load(const Properties& skin, NodeRecord record) override;
    void refresh() override;
    void remove_child(Node* child, std::size_t index) override;
    void on_visibility_changed(bool effective) override;
    void tick(double seconds) override;
    void draw(RenderSurface& surface, Point origin) override;
    void layout_x() override;
    void layout_y() override;
    void measure_y(Measure& measure) override;
    void forward_to_captured(std::int32_t x, std::int32_t y) override;
    bool on_touch(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

  private:
    list_physics::Bounds bounds() const;
    // Binds and recycles elements so that the rows cover the view.
    void fill();
    void rebind_all(std::int32_t first_index, double offset);
    ListElement& take_element();
    void bind(ListElement& element, std::int32_t index, std::int32_t height);
    void release(ListElement& element);
    void recycle_front();
    void recycle_back();
    void animate_heights(double dt);
    void place_rows();
    void update_look(ListElement& element);
    void press(ListElement* element, const PointerEvent& event);
    void cancel_press();
    void drag_by(double dy);
    void pen_down(const PointerEvent& event);
    void pen_move(const PointerEvent& event);
    void pen_up(const PointerEvent& event);
    ListElement* element_at(Point point) const;
    void glide_focus(double dt);
    void keep_focus_in_view();
    std::int32_t bound_front_index() const;
    std::int32_t bound_back_index() const;
    std::uint32_t now_ms() const { return std::uint32_t(m_clock * 1000.0); }
    double fill_limit();

    ListAdapter* m_adapter = nullptr;
    std::int32_t m_item_count = 0;
    // Every element made for this list (children of the list), and the ones
    // laid out now in display order, and the spare ones.
    std::vector<ListElement*> m_pool;
    std::vector<ListElement*> m_rows;
    std::vector<ListElement*> m_spare;
    list_physics::Motion m_motion;
    double m_content_height = 0.0;
    std::int32_t m_border_min = 0;
    std::int32_t m_border_max = 0;
    bool m_locked = false;
    bool m_grow = false;
    Picture m_highlight;
    std::int32_t m_highlight_alpha = -1;
    std::int32_t m_selected = -1;
    ListElement* m_pressed = nullptr;
    bool m_pen_down = false;
    Point m_last_pen;
    PressTracker m_tracker;
    double m_clock = 0.0;
    double m_focus = -1.0;
    double m_focus_speed = 0.0;
    double m_focus_target = -1.0;
    bool m_focus_key_held = false;
    double m_laid_out_content = -1.0;
    // The item bound first when no row is laid out.
    std::int32_t m_anchor = 0;
    std::unique_ptr<Blender> m_highlight_blender;
};

} // namespace telvara::ui
