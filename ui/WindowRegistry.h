#pragma once

#include <QPointer>
#include <QWidget>

#include <map>
#include <typeindex>

namespace kelmo::ui {

// Every window of the program exists at most once. It is created when first asked for and
// destroyed when closed, so its contents are lost on close; the calculation state lives on.
class WindowRegistry {
public:
    // The window of type W, created (hidden) if it does not exist.
    template <typename W> static W* instance() {
        if (auto* existing = find<W>()) {
            return existing;
        }
        auto* window = new W();
        window->setAttribute(Qt::WA_DeleteOnClose);
        windows()[std::type_index(typeid(W))] = window;
        return window;
    }

    // The window of type W if it exists, else nullptr.
    template <typename W> static W* find() {
        const auto it = windows().find(std::type_index(typeid(W)));
        return it == windows().end() ? nullptr : qobject_cast<W*>(it->second.data());
    }

    // Creates the window if needed and shows it.
    template <typename W> static W* show() {
        W* window = instance<W>();
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    }

    // Closes (and so destroys) every window; tests use it between cases.
    static void closeAll();

private:
    static std::map<std::type_index, QPointer<QWidget>>& windows();
};

} // namespace kelmo::ui
