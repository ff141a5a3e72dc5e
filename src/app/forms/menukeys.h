#pragma once

class QWidget;

namespace shelvix::app {

// Gives the menu shortcuts of `window` precedence over the keys its editors
// bind for themselves (a line edit takes Ctrl+U, Ctrl+E, Ctrl+Y, Ctrl+Z ...):
// a key that is a shortcut of one of the window's actions triggers that
// action from every control of the window, editors made later included, and
// never reaches the control, not even while the action is disabled. Lasts as
// long as the window.
void giveMenuKeysPrecedence(QWidget* window);

} // namespace shelvix::app
