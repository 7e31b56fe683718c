// The alphabet ruler: cell templates, sampling, touch mapping.
#include "ui/alphabet_ruler.h"

#include "ui/button_node.h"
#include "ui/node_registry.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace telvara::ui {

namespace {

NodeRecord find_below(const Properties& skin, NodeRecord record, WStringView id, int depth) {
    if (depth > kMaxNodeDepth)
        return {};
    const std::uint32_t count = skin.child_count(record);
    for (std::uint32_t i = 0; i < count; ++i) {
        const NodeRecord child = skin.child(record, i);
        if (child && skin.read_string(child, u"id", u"") == id)
            return child;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (const NodeRecord child = skin.child(record, i)) {
            if (const NodeRecord found = find_below(skin, child, id, depth + 1))
                return found;
        }
    }
    return {};
}

// Hands the letter to the cell: a button takes it as its caption, anything
// else shows it in every text node below.
void show_letter(Node& cell, const WString& letter) {
    if (auto* button = dynamic_cast<ButtonNode*>(&cell)) {
        button->set_text(letter);
        return;
    }
    if (auto* text = dynamic_cast<TextNode*>(&cell))
        text->set_text(letter);
    for (std::size_t i = 0; i < cell.child_count(); ++i)
        show_letter(cell.child(i), letter);
}

} // namespace

char16_t ruler_shape(char16_t capital) {
    // Capitals whose usual glyphs cannot be told from a Latin capital. У and
    // Y are left apart: most faces draw them differently.
    static constexpr std::array<std::pair<char16_t, char16_t>, 28> kSameShape = {{
        {u'\u0391', u'A'}, {u'\u0392', u'B'}, {u'\u0395', u'E'}, {u'\u0396', u'Z'},
        {u'\u0397', u'H'}, {u'\u0399', u'I'}, {u'\u039A', u'K'}, {u'\u039C', u'M'},
        {u'\u039D', u'N'}, {u'\u039F', u'O'}, {u'\u03A1', u'P'}, {u'\u03A4', u'T'},
        {u'\u03A7', u'X'}, {u'\u0405', u'S'}, {u'\u0406', u'I'}, {u'\u0408', u'J'},
        {u'\u0410', u'A'}, {u'\u0412', u'B'}, {u'\u0415', u'E'}, {u'\u041A', u'K'},
        {u'\u041C', u'M'}, {u'\u041D', u'H'}, {u'\u041E', u'O'}, {u'\u0420', u'P'},
        {u'\u0421', u'C'}, {u'\u0422', u'T'}, {u'\u0425', u'X'}, {u'\u03A5', u'Y'},
    }};
    for (const auto& [other, latin] : kSameShape)
        if (other == capital)
            return latin;
    return capital;
}

NodeRecord find_child_record(const Properties& skin, NodeRecord record, WStringView id) {
    return find_below(skin, record, id, 0);
}

void AlphabetRuler::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    set_up(skin, record);
}

void AlphabetRuler::set_up(const Properties& skin, NodeRecord record) {
    m_skin = &skin;
    m_template = find_child_record(skin, record, u"ruler_button");
    if (!m_template)
        throw vadode::NodeNotFound(name(), u"ruler_button");
    m_template2 = find_child_record(skin, record, u"ruler_button2");
    m_table = find(u"ruler_table");
    if (!m_table)
        throw vadode::NodeNotFound(name(), u"ruler_table");
    // The templates in the tree are only patterns.
    for (const char16_t* pattern : {u"ruler_button", u"ruler_button2"}) {
        if (Node* node = find(pattern))
            node->set_visible(false);
    }
    m_table->set_visible(false);
    // A throw-away cell tells the height of every cell.
    const std::unique_ptr<Node> probe = make_cell(0);
    m_cell_height = probe->get_measure_y().preferred;
    clear_cells();
    update_cells();
}

void AlphabetRuler::clear_cells() {
    while (!m_cells.empty()) {
        Node* cell = m_cells.back();
        m_cells.pop_back();
        if (m_table)
            m_table->remove_child(cell, m_table->child_count());
    }
}

void AlphabetRuler::set_letters(std::vector<WString> letters) {
    m_letters = std::move(letters);
    update_cells();
}

void AlphabetRuler::add_letter(WString letter) {
    if (!m_letters.empty() && m_letters.back() == letter)
        return;
    m_letters.push_back(std::move(letter));
    set_letters(std::move(m_letters));
}

std::uint32_t AlphabetRuler::cell_letter_index(std::size_t i) const {
    if (m_cells.empty())
        return 0;
    return std::uint32_t(m_letters.size() * i / m_cells.size());
}

std::size_t AlphabetRuler::wanted_cells() const {
    if (!m_table || m_cell_height <= 0)
        return 0;
    // The ruler's own height: a skin may keep it off its parent's edges (the
    // default skin stops it above the floating keypad button), and cells
    // counted from the parent would not fit.
    const std::int32_t available =
        std::max(height() - m_table->border_min(Axis::Y) - m_table->border_max(Axis::Y), 0);
    return std::min(m_letters.size(), std::size_t(available / m_cell_height));
}

std::unique_ptr<Node> AlphabetRuler::make_cell(std::size_t i) const {
    const NodeRecord record = (i % 2 == 1 && m_template2) ? m_template2 : m_template;
    std::unique_ptr<Node> cell =
        NodeRegistry::instance().create(m_skin->read_string(record, u"type", u""));
    cell->load(*m_skin, record);
    cell->set_visible(true);
    return cell;
}

void AlphabetRuler::update_cells() {
    if (!m_table || !m_skin)
        return;
    const std::size_t wanted = wanted_cells();
    const bool same_count = wanted == m_cells.size();
    while (m_cells.size() > wanted) {
        Node* cell = m_cells.back();
        m_cells.pop_back();
        m_table->remove_child(cell, m_table->child_count());
    }
    while (m_cells.size() < wanted) {
        Node& cell = m_table->append_child(make_cell(m_cells.size()));
        m_cells.push_back(&cell);
    }
    for (std::size_t i = 0; i < m_cells.size(); ++i)
        show_letter(*m_cells[i], m_letters[cell_letter_index(i)]);
    m_table->set_visible(!m_cells.empty());
    if (!same_count)
        mark_layout();
    mark_redraw();
}

void AlphabetRuler::remove_child(Node* child, std::size_t index) {
    if (child == m_table) {
        m_table = nullptr;
        m_cells.clear();
    }
    Node::remove_child(child, index);
}

void AlphabetRuler::layout_y() {
    Node::layout_y();
    const std::size_t before = m_cells.size();
    update_cells();
    if (m_table && m_cells.size() != before) {
        // The cells changed with the height: place them right away.
        m_table->place_x(m_table->x(), m_table->width());
        m_table->place_y(m_table->y(), m_table->height());
    }
}

std::optional<std::uint32_t> AlphabetRuler::letter_index_at(std::int32_t y) const {
    if (m_letters.empty() || m_cells.empty() || !m_table || m_table->height() < 1)
        return std::nullopt;
    const auto n = double(m_letters.size());
    const double at = std::floor(n * double(y - m_table->y()) / double(m_table->height()));
    return std::uint32_t(std::clamp(at, 0.0, n - 1.0));
}

void AlphabetRuler::report(const PointerEvent& event) {
    const auto index = letter_index_at(event.y);
    if (!index || !m_listener)
        return;
    RulerEvent ruler_event;
    ruler_event.index = *index;
    ruler_event.letter = m_letters[*index];
    ruler_event.pressed = event.is_pressed() && !event.cancelled;
    ruler_event.cancelled = event.cancelled;
    m_listener->on_letter_touched(*this, ruler_event);
}

bool AlphabetRuler::on_touch(const PointerEvent& event) {
    if (event.kind == PointerKind::Down) {
        if (!hit_test({event.x, event.y}))
            return false;
        m_touching = true;
    } else if (!m_touching) {
        return false;
    }
    if (event.kind == PointerKind::Up || event.cancelled)
        m_touching = false;
    report(event);
    return true;
}

} // namespace telvara::ui
