#include "app/paint/printers.h"

namespace shelvix::app {

namespace {

const Printers*& installed() {
    static const Printers* p = nullptr;
    return p;
}

} // namespace

const Printers* printers() {
    return installed();
}

void installPrinters(const Printers* p) {
    installed() = p;
}

} // namespace shelvix::app
