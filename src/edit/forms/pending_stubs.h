#pragma once

// Stand-ins for the dialog placement, colour sets and help viewer that are
// being built on other branches. Remove this file and pending_stubs.cpp when
// those land, and include app/forms/placement.h, colors.h and helpviewer.h.

#include "app/appcontext.h"

class QWidget;

namespace shelvix::app {

struct PlaceOptions {
    bool moveUp10 = false;
};
void placeDialog(QWidget* dialog, const AppContext& ctx, PlaceOptions options = {});
void applyColorSet(QWidget* form, const AppContext& ctx, ColorGroup group);
void showHelpTopic(QWidget* parent, const QString& keyword);

} // namespace shelvix::app
