#include "app/forms/resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be expanded outside any namespace.
static void initShelvixResources() {
    Q_INIT_RESOURCE(shelvix);
}

namespace shelvix::app {

void initResources() {
    initShelvixResources();
}

} // namespace shelvix::app
