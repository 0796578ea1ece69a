#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plexor {

// Raised when DecipherText refuses its arguments. what() is exactly the
// message text: "Incorrect key length" or "Incorrect buffer length".
class DecipherError final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Blowfish takes keys of 1 to 56 bytes; longer keys are cut to 56.
inline constexpr std::size_t kMaxKeyLength = 56;
// DecipherText never deciphers more than this many bytes of one stored text.
inline constexpr std::size_t kMaxDecipherLength = 1024;
// Blowfish block size; stored texts are whole blocks.
inline constexpr std::size_t kCipherBlockSize = 8;

// Header byte 1: 'B' when the branding data carry a partner co-brand name.
inline constexpr std::size_t kBrandingMarkerIndex = 1;
inline constexpr std::uint8_t kPartnerMarker = 'B';
// Header byte 2: number of enciphered bytes of the partner co-brand name.
inline constexpr std::size_t kPartnerLengthIndex = 2;
// The largest multiple of the block size that fits the partner field.
inline constexpr std::size_t kMaxPartnerLength = 56;

// Fixed branding data of a build. A partner's build carries its own
// co-brand name here; the default build carries none.
struct BrandingData
{
    std::array<std::uint8_t, 12> header;             // marker and partner length
    std::array<std::uint8_t, 32> sourceTag;          // NUL-terminated text
    std::array<std::uint8_t, 60> partnerCoBrandName; // enciphered partner name
};

// The two switch bytes kept apart from the branding data; zero by default.
struct BrandingSwitches
{
    std::uint8_t partnerSwitch = 0;
    std::uint8_t makerSourceSwitch = 0;
};

// Deciphers one stored text with Blowfish in ECB mode under `key` and
// returns its display text: the bytes up to the first NUL, with every '~'
// removed. Only the first kMaxDecipherLength bytes are deciphered.
// Throws DecipherError for an empty key, for a length of 0 or one that is
// not a multiple of 8, and for a null `data`.
std::string DecipherText(std::string_view key, const std::uint8_t* data, std::size_t length);

// DecipherText under the program's own key.
std::string DecipherText(const std::uint8_t* data, std::size_t length);

std::string ProductName();
std::string CopyrightText();

// The co-brand name of this build's branding data and switches.
std::string CoBrandName();

// The co-brand name for the given branding data and switches: the partner's
// name when the data carry one and either the partner switch is set or the
// maker-source switch selects a source tag that differs from the default
// tag; the default co-brand name otherwise. A partner length that is 0, not
// a multiple of 8 or larger than kMaxPartnerLength also yields the default
// name, so faulty branding data can never read past the partner field.
std::string CoBrandName(const BrandingData& branding, const BrandingSwitches& switches);

const BrandingData& BuiltInBrandingData();
BrandingSwitches BuiltInBrandingSwitches();

} // namespace plexor
