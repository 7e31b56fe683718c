// Table layout along one axis. Every share is computed from running integer
// sums, so the pieces always add up to exactly what was shared out.
#include "ui/table_node.h"

#include "ui/properties.h"

#include <algorithm>

namespace telvara::ui {

namespace {

struct Cell {
    Node* node = nullptr;
    std::int32_t margins = 0;
    std::int32_t preferred = 0;
    std::int32_t minimum = 0;
    std::int32_t size = 0;
    std::uint32_t ratio = 0;
};

// The k-th of n running-sum shares of `amount` (k counted from 0).
std::int64_t running_share(std::int64_t amount, std::int64_t k, std::int64_t n) {
    return amount * (k + 1) / n - amount * k / n;
}

// Grows every cell towards its preferred size by `amount` in total, in passes:
// cells that reach their preferred size hand the rest of their share back.
void grow_towards_preferred(std::vector<Cell>& cells, std::int64_t amount) {
    std::vector<Cell*> growing;
    while (amount > 0) {
        growing.clear();
        for (Cell& cell : cells) {
            if (cell.size < cell.preferred)
                growing.push_back(&cell);
        }
        if (growing.empty())
            return;
        const std::int64_t to_give = amount;
        const auto n = static_cast<std::int64_t>(growing.size());
        amount = 0;
        for (std::int64_t k = 0; k < n; ++k) {
            Cell& cell = *growing[static_cast<std::size_t>(k)];
            const std::int64_t share = running_share(to_give, k, n);
            const std::int64_t room = cell.preferred - cell.size;
            if (share > room) {
                cell.size = cell.preferred;
                amount += share - room;
            } else {
                cell.size += static_cast<std::int32_t>(share);
            }
        }
    }
}

// The surplus goes to cells with a ratio, in proportion to it. Dividing by the
// sum of the ratios (not their count) keeps the total exact for any ratios and
// is the same thing when every ratio is 0 or 1.
void share_surplus(std::vector<Cell>& cells, std::int64_t surplus) {
    std::int64_t ratio_sum = 0;
    for (const Cell& cell : cells)
        ratio_sum += cell.ratio;
    if (ratio_sum == 0 || surplus <= 0)
        return;
    std::int64_t cum = 0;
    for (Cell& cell : cells) {
        if (cell.ratio == 0)
            continue;
        const std::int64_t next = cum + cell.ratio;
        cell.size +=
            static_cast<std::int32_t>(next * surplus / ratio_sum - cum * surplus / ratio_sum);
        cum = next;
    }
}

} // namespace

void TableNode::remove_child(Node* child, std::size_t index) {
    const std::size_t before = child_count();
    std::size_t at = index;
    if (at >= before || &this->child(at) != child) {
        at = before;
        for (std::size_t i = 0; i < before; ++i) {
            if (&this->child(i) == child)
                at = i;
        }
    }
    Node::remove_child(child, index);
    if (child_count() < before && at < m_ratios.size())
        m_ratios.erase(m_ratios.begin() + static_cast<std::ptrdiff_t>(at));
}

Node& TableNode::insert_child(std::unique_ptr<Node> child, std::size_t index) {
    index = std::min(index, child_count());
    m_ratios.insert(m_ratios.begin() + static_cast<std::ptrdiff_t>(index), 0);
    return Node::insert_child(std::move(child), index);
}

void TableNode::set_table_ratio(std::size_t index, std::uint32_t ratio) {
    m_ratios.at(index) = ratio;
    mark_layout();
}

// Hidden children take no part in the table, so visibility changes its shape.
void TableNode::child_changed(ChildChange change, Node* child) {
    Node::child_changed(change, child);
    if (change == ChildChange::Visibility)
        mark_layout();
}

void TableNode::load(const Properties& skin, NodeRecord record) {
    std::size_t next = child_count();
    Node::load(skin, record);
    // Same walk as the base load, which skips damaged child entries.
    const std::uint32_t count = skin.child_count(record);
    for (std::uint32_t i = 0; i < count && next < m_ratios.size(); ++i) {
        const NodeRecord child_record = skin.child(record, i);
        if (child_record)
            m_ratios[next++] = skin.read_int(child_record, u"table_ratio", 0);
    }
}

void TableNode::layout_x() {
    if (m_axis == Axis::X)
        layout_table();
    else
        layout_plain(Axis::X);
}

void TableNode::layout_y() {
    if (m_axis == Axis::Y)
        layout_table();
    else
        layout_plain(Axis::Y);
}

void TableNode::measure_x(Measure& measure) {
    if (m_axis == Axis::X)
        measure_table(measure);
    else
        measure_plain(Axis::X, measure);
}

void TableNode::measure_y(Measure& measure) {
    if (m_axis == Axis::Y)
        measure_table(measure);
    else
        measure_plain(Axis::Y, measure);
}

void TableNode::measure_table(Measure& measure) {
    measure.preferred = std::max(measure.preferred, design_size(m_axis));
    std::int32_t total = 0;
    std::int32_t slack = 0;
    for (std::size_t i = 0; i < child_count(); ++i) {
        Node& node = child(i);
        if (!node.is_visible())
            continue;
        const Measure asked = node.get_measure(m_axis);
        if (adds_to_measure(node.anchor(m_axis)))
            total += node.border_min(m_axis) + asked.preferred + node.border_max(m_axis);
        slack += asked.preferred - asked.minimum;
    }
    measure.preferred = std::max(measure.preferred, total);
    measure.minimum = std::max(measure.minimum, total - slack);
}

void TableNode::layout_table() {
    std::vector<Cell> cells;
    cells.reserve(child_count());
    std::int64_t margins = 0;
    std::int64_t sum_pref = 0;
    std::int64_t sum_min = 0;
    for (std::size_t i = 0; i < child_count(); ++i) {
        Node& node = child(i);
        if (!node.is_visible())
            continue;
        const Measure asked = node.get_measure(m_axis);
        Cell cell{&node,
                  node.border_min(m_axis) + node.border_max(m_axis),
                  asked.preferred,
                  asked.minimum,
                  0,
                  m_ratios[i]};
        margins += cell.margins;
        sum_pref += cell.preferred;
        sum_min += cell.minimum;
        cells.push_back(cell);
    }

    const std::int32_t start = position(m_axis);
    const std::int64_t avail = extent(m_axis) - margins;
    if (avail < 1) {
        for (Cell& cell : cells)
            cell.node->place(m_axis, start, 0);
        return;
    }

    if (avail > sum_min) {
        for (Cell& cell : cells)
            cell.size = cell.minimum;
        const std::int64_t grow = avail <= sum_pref ? avail - sum_min : sum_pref - sum_min;
        grow_towards_preferred(cells, grow);
        if (avail > sum_pref)
            share_surplus(cells, avail - sum_pref);
    } else {
        // Too small even for the minimums: shrink all in proportion to them.
        std::int64_t cum = 0;
        for (Cell& cell : cells) {
            const std::int64_t next = cum + cell.minimum;
            cell.size = static_cast<std::int32_t>(next * avail / sum_min - cum * avail / sum_min);
            cum = next;
        }
    }

    std::int32_t pos = start;
    for (Cell& cell : cells) {
        Node& node = *cell.node;
        const std::int32_t slot = cell.size + cell.margins;
        const Span span = place_in_space(node.anchor(m_axis), slot, node.border_min(m_axis),
                                         node.border_max(m_axis), cell.size);
        node.place(m_axis, pos + span.offset, span.size);
        pos += slot;
    }
}

} // namespace telvara::ui
