#include "edit/forms/pending_stubs.h"

#include <QWidget>

namespace shelvix::app {

void placeDialog(QWidget* dialog, const AppContext&, PlaceOptions options) {
    if (options.moveUp10 && dialog->y() > 10)
        dialog->move(dialog->x(), dialog->y() - 10);
}

void applyColorSet(QWidget*, const AppContext&, ColorGroup) {}

void showHelpTopic(QWidget*, const QString&) {}

} // namespace shelvix::app
