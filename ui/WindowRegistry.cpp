#include "ui/WindowRegistry.h"

namespace kelmo::ui {

std::map<std::type_index, QPointer<QWidget>>& WindowRegistry::windows() {
    static std::map<std::type_index, QPointer<QWidget>> instances;
    return instances;
}

void WindowRegistry::closeAll() {
    for (auto& [type, window] : windows()) {
        if (window) {
            window->close();
            delete window.data(); // a hidden window ignores close() for deletion
        }
    }
    windows().clear();
}

} // namespace kelmo::ui
