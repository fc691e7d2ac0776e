#include "ui/ControlId.h"

#include <QGroupBox>
#include <QVariant>
#include <QWidget>

namespace kelvo {

void SetControlId(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

int ControlIdOf(const QWidget* control) {
    const QVariant v = control->property(kControlIdProperty);
    return v.isValid() ? v.toInt() : -1;
}

QWidget* FindControl(const QWidget* root, int id) {
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w)
            continue;
        if (ControlIdOf(w) == id)
            return w;
        if (QWidget* found = FindControl(w, id))
            return found;
    }
    return nullptr;
}

QWidget* ControlAt(QWidget* window, QWidget* widget) {
    for (QWidget* w = widget; w && w != window; w = w->parentWidget()) {
        if (qobject_cast<QGroupBox*>(w) && w != widget)
            return nullptr; // inside a group box, not on it
        if (ControlIdOf(w) >= 0)
            return w;
    }
    return nullptr;
}

} // namespace kelvo
