#pragma once

// The plain forms of the program's display texts, its cipher key and the
// branding of this build. make_program_texts enciphers them into
// about/program_texts_data.cpp; the tests compare the deciphered texts with
// them. The program itself never sees these plain texts.

#include <cstdint>
#include <string_view>

namespace plexor::plain_texts {

// Key of every stored text: eight upper-case letters and digits.
inline constexpr std::string_view kKey = "Q7VX3KM9";

inline constexpr std::string_view kProductName = "Plexor2 Zone Extractor";
inline constexpr std::string_view kCopyright = "Copyright (C) 2026 Velmora Technologies. All rights reserved.";
inline constexpr std::string_view kDefaultCoBrandName = "Velmora Technologies";
inline constexpr std::string_view kDefaultSourceTag = "velmora";

// Branding of this build. A partner's build names the partner here (and sets
// the switches its agreement asks for); the default build carries no partner
// and takes its own source tag.
inline constexpr std::string_view kSourceTag = kDefaultSourceTag;
inline constexpr std::string_view kPartnerCoBrandName = "";
inline constexpr std::uint8_t kPartnerSwitch = 0;
inline constexpr std::uint8_t kMakerSourceSwitch = 0;

} // namespace plexor::plain_texts
