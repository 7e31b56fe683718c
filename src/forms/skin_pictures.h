#pragma once
// Pictures of plain skin nodes: a node of a form's tree whose skin record has
// a "src" picture gets that picture drawn over its rectangle. Lets the first
// screens show art while no picture node type is registered; a skin that uses
// real picture nodes needs none of this.

#include "ui/node.h"
#include "ui/picture.h"
#include "ui/properties.h"

#include <vector>

namespace telvara::forms {

class SkinPictures {
  public:
    // Walks the record of `root` and the node tree built from it side by side
    // and remembers every node whose record carries "src". Call right after
    // the tree was loaded from `record`.
    void collect(const ui::Properties& skin, ui::NodeRecord record, ui::Node& root);
    void clear() { m_entries.clear(); }
    std::size_t size() const { return m_entries.size(); }

    // Draws each picture into its node's rectangle, `origin` being where the
    // root's top-left lands; hidden nodes are skipped.
    void draw(ui::RenderSurface& surface, ui::Point origin) const;

  private:
    struct Entry {
        ui::Node* node = nullptr;
        ui::Picture picture;
    };
    void walk(const ui::Properties& skin, ui::NodeRecord record, ui::Node& node, int depth);

    ui::Node* m_root = nullptr;
    std::vector<Entry> m_entries;
};

} // namespace telvara::forms
