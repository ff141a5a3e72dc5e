#pragma once

namespace shelvix::app {

// Registers the resources built into the program (data/shelvix.qrc). They
// live in a static library, so nothing registers them unless asked; call
// once before the first use of a ":/" path.
void initResources();

} // namespace shelvix::app
