#pragma once

#include "app/appcontext.h"
#include "app/colors.h"

#include <QColor>

class QWidget;

namespace shelvix::app {

// How a form shows its group's colour set. Every form's SetColors calls
// applyColorSet(this, ctx, group) each time it is shown; it walks the form's
// widgets and colours them by kind:
//
//   the form (for a main window, its central widget)  window background
//   QLabel, QGroupBox titles    minor-title text on the window background;
//                               major-title text when the widget's dynamic
//                               property "colorRole" is "major"
//   QLineEdit, QAbstractSpinBox, QTextEdit, QPlainTextEdit   edit colours
//   QComboBox (and its list)    combo colours
//   QAbstractItemView           list-box colours (list boxes, string grids)
//   QRadioButton, QCheckBox     radio and check colours, filled behind
//   push and tool buttons, menu bars, scroll bars, progress bars, tab bars
//                               the system colours
//
// Other widgets (frames, panels, tab pages) take the window background and
// are searched for the controls inside them. "colorRole" can also be
// "system" (the widget and all it holds keep the system colours) or "none"
// (left exactly as it is: the viewer grid, which has colours of its own).
// Widgets that are windows of their own are never touched.
void applyColorSet(QWidget* form, const AppContext& ctx, ColorGroup group);
// The same with an explicit set (the colour dialog's samples).
void applyColorSet(QWidget* form, const ColorSet& colors);

// Marks `widget` for the convention above: "major", "minor", "system", "none".
void setColorRole(QWidget* widget, const char* role);

QColor toQColor(int windowsColor);
int toWindowsColor(const QColor& color);

} // namespace shelvix::app
