#include "platform/ui/graph_mapping.h"

namespace tavrin {

found_graph find_graph(QWidget* page) {
    if (page == nullptr)
        return {};
    if (const auto* mapping = dynamic_cast<const graph_mapping*>(page))
        return {page, mapping};
    for (QWidget* child : page->findChildren<QWidget*>()) {
        if (const auto* mapping = dynamic_cast<const graph_mapping*>(child))
            return {child, mapping};
    }
    return {};
}

}  // namespace tavrin
