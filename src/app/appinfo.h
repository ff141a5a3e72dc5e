#pragma once

#include "core/product.h"

#include <QString>

namespace shelvix::app {

using core::kApplicationTitle;
using core::kProductName;

QString versionString();

} // namespace shelvix::app
