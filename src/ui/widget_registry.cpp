// The widget node types and their skin words.
#include "ui/widget_registry.h"

#include "ui/alphabet_ruler.h"
#include "ui/button_node.h"
#include "ui/edit_node.h"
#include "ui/image_node.h"
#include "ui/label_edit_node.h"
#include "ui/multinode.h"
#include "ui/node_registry.h"
#include "ui/progress_node.h"
#include "ui/rich_text_node.h"
#include "ui/spinner_node.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

namespace telvara::ui {

void register_widget_node_types(NodeRegistry& registry) {
    registry.register_type(u"button", &make_node<ButtonNode>);
    registry.register_type(u"multinode", &make_node<Multinode>);
    registry.register_type(u"progress", &make_node<ProgressNode>);
    registry.register_type(u"text", &make_node<TextNode>);
    registry.register_type(u"richtext", &make_node<RichTextNode>);
    registry.register_type(u"vlist", &make_node<VirtualList>);
    registry.register_type(u"edit", &make_node<EditNode>);
    registry.register_type(u"label_edit", &make_node<LabelEditNode>);
    registry.register_type(u"spinner", &make_node<SpinnerNode>);
    registry.register_type(u"image", &make_node<ImageNode>);
    registry.register_type(u"ruler", &make_node<AlphabetRuler>);
}

} // namespace telvara::ui
