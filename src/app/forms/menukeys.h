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

// The keys every window of the program shares, for the whole application
// (installing again does nothing):
// - an Alt letter that more than one control of a window claims does one
//   thing: a button (check and radio boxes too) is pressed, before a label's
//   or a group's control gets the focus, before a page tab is chosen, before
//   a menu title opens; a letter claimed once keeps Qt's own handling;
// - F10 opens the first menu of a window's menu bar, the arrows go on from
//   there;
// - Ctrl+PgDn and Ctrl+PgUp turn to the next and the previous page of the
//   window's tabbed pages from any control.
void installWindowKeys();

} // namespace shelvix::app
