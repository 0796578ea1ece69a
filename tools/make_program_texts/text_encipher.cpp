#include "text_encipher.h"

#include <algorithm>
#include <string>
#include <utility>

#include <botan/block_cipher.h>

namespace plexor::texts_tool {

std::size_t StoredLengthFor(std::string_view plain)
{
    const std::size_t blocks = (plain.size() + kCipherBlockSize - 1) / kCipherBlockSize;
    return std::max<std::size_t>(blocks, 1) * kCipherBlockSize;
}

std::vector<std::uint8_t> EncipherBlocks(std::string_view key, std::vector<std::uint8_t> blocks)
{
    if (key.empty())
        throw EncipherError("the key is empty");
    if (blocks.size() % kCipherBlockSize != 0)
        throw EncipherError("the data are not whole cipher blocks");

    key = key.substr(0, kMaxKeyLength);
    const auto cipher = Botan::BlockCipher::create_or_throw("Blowfish");
    cipher->set_key(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
    cipher->encrypt_n(blocks.data(), blocks.data(), blocks.size() / kCipherBlockSize);
    return blocks;
}

std::vector<std::uint8_t> EncipherText(std::string_view key, std::string_view plain, std::size_t storedLength)
{
    if (storedLength == 0 || storedLength % kCipherBlockSize != 0 || storedLength > kMaxDecipherLength)
        throw EncipherError("stored length " + std::to_string(storedLength)
                            + " is not a multiple of 8 between 8 and 1024");
    if (plain.size() > storedLength)
        throw EncipherError("\"" + std::string(plain) + "\" is longer than its stored length "
                            + std::to_string(storedLength));
    if (plain.find_first_of(std::string_view("~\0", 2)) != std::string_view::npos)
        throw EncipherError("\"" + std::string(plain) + "\" holds '~' or NUL, which deciphering drops");

    std::vector<std::uint8_t> stored(plain.begin(), plain.end());
    stored.resize(storedLength, '~');
    return EncipherBlocks(key, std::move(stored));
}

BrandingData MakeBrandingData(std::string_view key, std::string_view sourceTag, std::string_view partnerCoBrandName)
{
    BrandingData branding{};
    std::fill_n(branding.header.begin(), 8, std::uint8_t{'$'});

    if (sourceTag.size() >= branding.sourceTag.size() || sourceTag.find('\0') != std::string_view::npos)
        throw EncipherError("source tag \"" + std::string(sourceTag) + "\" does not fit its 32-byte field");
    std::copy(sourceTag.begin(), sourceTag.end(), branding.sourceTag.begin());

    if (!partnerCoBrandName.empty()) {
        const std::size_t length = StoredLengthFor(partnerCoBrandName);
        if (length > kMaxPartnerLength)
            throw EncipherError("partner co-brand name \"" + std::string(partnerCoBrandName)
                                + "\" needs more than 56 bytes");
        const auto stored = EncipherText(key, partnerCoBrandName, length);
        std::copy(stored.begin(), stored.end(), branding.partnerCoBrandName.begin());
        branding.header[kBrandingMarkerIndex] = kPartnerMarker;
        branding.header[kPartnerLengthIndex] = static_cast<std::uint8_t>(length);
    }
    return branding;
}

} // namespace plexor::texts_tool
