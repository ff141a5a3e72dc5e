#include "app/appinfo.h"

namespace shelvix::app {

QString versionString() {
    return QLatin1String(core::kVersion);
}

} // namespace shelvix::app
