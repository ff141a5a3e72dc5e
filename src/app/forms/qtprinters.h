#pragma once

namespace shelvix::app {

// Makes the printers Qt's print support knows the program's printers
// (app::printers()). Call once, after the application object exists.
void installQtPrinters();

} // namespace shelvix::app
