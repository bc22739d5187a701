#pragma once
// Walks a window's accessibility tree the way a screen reader does. (Qt sends its change events
// only to a platform bridge that is active, which the offscreen platform has not; the AT-SPI
// check in tests/a11y listens for them.)
#include <QAccessible>
#include <QAccessibleInterface>
#include <QWidget>
#include <functional>

namespace orbiqa::test {

/// The first node below root (depth first) that pred accepts, or nullptr.
inline QAccessibleInterface* FindAccessible(QAccessibleInterface* root,
                                            const std::function<bool(QAccessibleInterface*)>& pred, int depth = 0) {
    if (!root || depth > 16) return nullptr;
    if (pred(root)) return root;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* found = FindAccessible(root->child(i), pred, depth + 1)) return found;
    return nullptr;
}

/// The node of a window whose name is text.
inline QAccessibleInterface* FindByName(QWidget* window, const QString& text) {
    return FindAccessible(QAccessible::queryAccessibleInterface(window),
                          [&](QAccessibleInterface* a) { return a->text(QAccessible::Name) == text; });
}

/// The node of a window that shows a widget of this object name.
inline QAccessibleInterface* FindByObjectName(QWidget* window, const QString& objectName) {
    return FindAccessible(QAccessible::queryAccessibleInterface(window), [&](QAccessibleInterface* a) {
        return a->object() && a->object()->objectName() == objectName;
    });
}

}  // namespace orbiqa::test
