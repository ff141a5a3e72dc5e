#pragma once

#include "app/appcontext.h"

class QWidget;

namespace shelvix::reports {

// The report colour set on a report window. Disabled check boxes and radio
// buttons get a grey that shows on their fill: the style's own disabled
// text can vanish on the set's silver.
void applyReportColors(QWidget* form, const app::AppContext& ctx);

} // namespace shelvix::reports
