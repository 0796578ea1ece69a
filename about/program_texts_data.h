#pragma once

// The stored (enciphered) texts, the cipher key and the branding data of
// this build. They are defined in program_texts_data.cpp, which
// tools/make_program_texts generates; the stored lengths below are shared by
// the generator and the library so the two cannot drift apart.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "about/program_texts.h"

namespace plexor::detail {

inline constexpr std::size_t kProductNameLength = 32;
inline constexpr std::size_t kCopyrightLength = 72;
inline constexpr std::size_t kDefaultCoBrandNameLength = 24;
inline constexpr std::size_t kDefaultSourceTagLength = 8;

extern const std::string_view kTextKey;

extern const std::array<std::uint8_t, kProductNameLength> kStoredProductName;
extern const std::array<std::uint8_t, kCopyrightLength> kStoredCopyright;
extern const std::array<std::uint8_t, kDefaultCoBrandNameLength> kStoredDefaultCoBrandName;
extern const std::array<std::uint8_t, kDefaultSourceTagLength> kStoredDefaultSourceTag;

extern const BrandingData kBuiltInBranding;
extern const BrandingSwitches kBuiltInSwitches;

} // namespace plexor::detail
