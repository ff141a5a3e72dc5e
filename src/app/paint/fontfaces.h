#pragma once

#include <QString>

namespace shelvix::app {

// The face a stored font name draws with here. Settings and report
// definitions name Windows faces ("Arial", "Courier New" ...), which Linux
// seldom has; each has a metric-compatible Liberation face that keeps the
// widths, and so a report's layout. A face that is installed is its own.
// Drawing, measuring and the font dialogs all go through this.
QString installedFace(const QString& stored);

// The name to store after a font dialog opened on `stored` returned
// `chosen`: the stored name while the user kept its face.
QString storedFace(const QString& chosen, const QString& stored);

} // namespace shelvix::app
