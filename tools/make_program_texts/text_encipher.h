#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "about/program_texts.h"

namespace plexor::texts_tool {

class EncipherError final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The smallest whole number of cipher blocks that holds `plain`.
std::size_t StoredLengthFor(std::string_view plain);

// Enciphers whole 8-byte blocks with Blowfish in ECB mode under `key` (cut
// to 56 bytes), block words big-endian, exactly as the bytes stand. Throws
// EncipherError for an empty key or a size that is not a whole number of
// blocks.
std::vector<std::uint8_t> EncipherBlocks(std::string_view key, std::vector<std::uint8_t> blocks);

// Pads `plain` with '~' to `storedLength` bytes and enciphers it with
// Blowfish in ECB mode under `key` (cut to 56 bytes), block words
// big-endian. Throws EncipherError if the result could not be deciphered
// back to `plain`: an empty key, a stored length that is 0, not a multiple
// of 8 or above 1024, a text longer than the stored length, or a text that
// holds '~' or NUL.
std::vector<std::uint8_t> EncipherText(std::string_view key, std::string_view plain, std::size_t storedLength);

// Branding data with `sourceTag` in the source-tag field and, when
// `partnerCoBrandName` is not empty, the partner marker, the partner length
// and the enciphered partner name. Throws EncipherError when the source tag
// leaves no room for its NUL or the partner name needs more than 56 bytes.
BrandingData MakeBrandingData(std::string_view key, std::string_view sourceTag, std::string_view partnerCoBrandName);

} // namespace plexor::texts_tool
