// Pictures of plain skin nodes.
#include "forms/skin_pictures.h"

#include "ui/blender.h"

namespace telvara::forms {

void SkinPictures::collect(const ui::Properties& skin, ui::NodeRecord record, ui::Node& root) {
    m_entries.clear();
    m_root = &root;
    walk(skin, record, root, 0);
}

void SkinPictures::walk(const ui::Properties& skin, ui::NodeRecord record, ui::Node& node,
                        int depth) {
    if (depth > ui::kMaxNodeDepth)
        return;
    ui::Picture picture = skin.read_picture(record, u"src", ui::Picture{});
    if (picture.has_data())
        m_entries.push_back({&node, std::move(picture)});
    // The loader builds one node per valid child record, in record order.
    std::size_t index = 0;
    const std::uint32_t count = skin.child_count(record);
    for (std::uint32_t i = 0; i < count && index < node.child_count(); ++i) {
        const ui::NodeRecord child = skin.child(record, i);
        if (!child)
            continue;
        walk(skin, child, node.child(index++), depth + 1);
    }
}

void SkinPictures::draw(ui::RenderSurface& surface, ui::Point origin) const {
    for (const Entry& entry : m_entries) {
        if (!entry.node->is_effectively_visible())
            continue;
        // Node positions are in the tree's common coordinates.
        const ui::Point at{origin.x + entry.node->x() - m_root->x(),
                           origin.y + entry.node->y() - m_root->y()};
        ui::draw_picture(surface, at, {entry.node->width(), entry.node->height()}, entry.picture,
                         ui::key_blender());
    }
}

} // namespace telvara::forms
