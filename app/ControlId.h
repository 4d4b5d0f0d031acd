// Controls keep the numeric ids of the dialog templates: as IDC_... constants and as the
// widget property "controlId", so that code and tests find a control by its id.
#pragma once

#include <QVariant>
#include <QWidget>

inline constexpr const char* kControlIdProperty = "controlId";

inline void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kControlIdProperty, id);
}

inline int ControlIdOf(const QWidget* widget) {
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

// The first descendant of root (root itself included) with that id and type, or nullptr.
template <typename T = QWidget>
T* ControlById(QWidget* root, int id) {
    if (root == nullptr) return nullptr;
    if (ControlIdOf(root) == id)
        if (T* self = qobject_cast<T*>(root)) return self;
    for (T* child : root->findChildren<T*>()) {
        if (ControlIdOf(child) == id) return child;
    }
    return nullptr;
}
