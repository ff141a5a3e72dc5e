#include "app/prompter.h"

#include <initializer_list>

namespace shelvix::app {

Button Message::effectiveDefault() const {
    if (defaultButton != Button::NoButton && buttons.testFlag(defaultButton))
        return defaultButton;
    for (Button b : {Button::Ok, Button::Yes, Button::Abort, Button::Retry, Button::No,
                     Button::Ignore, Button::Cancel}) {
        if (buttons.testFlag(b))
            return b;
    }
    return Button::NoButton;
}

Button escapeButton(Buttons buttons) {
    for (Button b : {Button::Cancel, Button::No, Button::Abort, Button::Ignore}) {
        if (buttons.testFlag(b))
            return b;
    }
    return buttons == Button::Ok ? Button::Ok : Button::NoButton;
}

void Prompter::error(const QString& text) {
    message({MessageKind::Error, QStringLiteral("Error"), text, Button::Ok, Button::Ok});
}

Button Prompter::confirm(const QString& caption, const QString& text, Button defaultButton) {
    return message({MessageKind::Question, caption, text, Button::Yes | Button::No, defaultButton});
}

} // namespace shelvix::app
