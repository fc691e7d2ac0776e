#pragma once

class QWidget;

namespace kelvo {

// Every control of a window carries its design control id as a dynamic
// property, so the help tables and the tests can find it the way the dialog
// framework finds a control by id.
inline constexpr char kControlIdProperty[] = "controlId";

void SetControlId(QWidget* control, int id);

// The control's id, or -1 when it has none.
int ControlIdOf(const QWidget* control);

// The first descendant of `root` (depth first, in child order) carrying `id`,
// or null.
QWidget* FindControl(const QWidget* root, int id);

// The widget itself or its nearest ancestor below `window` that carries a
// control id; null when the widget is `window`'s background. A group box's
// inside counts as background, as in a dialog.
QWidget* ControlAt(QWidget* window, QWidget* widget);

} // namespace kelvo
