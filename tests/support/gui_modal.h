#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace shelvix::test {

// Runs `action` on the next modal window to open (from inside its event
// loop), e.g. to check it and press a button. The test fails when none opens
// within `timeoutMs`, or when the window is still open that long after the
// action; it is then closed so the test cannot hang.
void onNextModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);

// From then on a modal window left open `afterMs` while no onNextModal waits
// fails the running test and is closed, so a test cannot hang on it.
void guardAgainstUnansweredModals(int afterMs = 30000);

// Presses the default button of a dialog or message box (as Enter would).
void clickDefaultButton(QWidget* dialog);
// Presses the button whose object name or text (accelerator "&" ignored) is
// `name`; fails the test when there is none.
void clickButton(QWidget* dialog, const QString& name);
// Closes the dialog as Escape would.
void closeModal(QWidget* dialog);

} // namespace shelvix::test
