#pragma once

#include <QString>

namespace shelvix::shell {

inline constexpr int kTipCount = 24;

// Tip `number` (1 to 24).
QString tipText(int number);
// The tip after `number`, 24 wrapping to 1.
int nextTip(int number);
// A tip number from 1 to 24, each as likely.
int randomTip();

} // namespace shelvix::shell
