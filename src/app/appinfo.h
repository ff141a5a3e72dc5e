#pragma once

#include <QString>

namespace shelvix::app {

inline constexpr const char* kApplicationTitle = "Shelvix Books 95";
inline constexpr const char* kProductName = "Shelvix Books 97";

QString versionString();

} // namespace shelvix::app
