#include "app/appinfo.h"

namespace shelvix::app {

QString versionString() {
    return QStringLiteral(SHELVIX_VERSION);
}

} // namespace shelvix::app
