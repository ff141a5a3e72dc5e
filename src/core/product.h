#pragma once

// Who the program is, for both programs; the tool must not reach up into the
// application's services for it.
namespace shelvix::core {

inline constexpr const char* kApplicationTitle = "Shelvix Books 95";
inline constexpr const char* kProductName = "Shelvix Books 97";
inline constexpr const char* kVersion = SHELVIX_VERSION;

} // namespace shelvix::core
