#include "program_texts.h"

#include <algorithm>
#include <memory>

#include <botan/block_cipher.h>
#include <botan/secmem.h>

#include "about/program_texts_data.h"

namespace plexor {

namespace {

constexpr const char* kIncorrectKeyLength = "Incorrect key length";
constexpr const char* kIncorrectBufferLength = "Incorrect buffer length";

std::unique_ptr<Botan::BlockCipher> MakeBlowfish(std::string_view key)
{
    if (key.empty())
        throw DecipherError(kIncorrectKeyLength);
    key = key.substr(0, kMaxKeyLength);

    auto cipher = Botan::BlockCipher::create_or_throw("Blowfish");
    cipher->set_key(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
    return cipher;
}

template <std::size_t N>
std::string DecipherStored(const std::array<std::uint8_t, N>& stored)
{
    return DecipherText(stored.data(), stored.size());
}

bool IsUsablePartnerLength(std::size_t length)
{
    return length != 0 && length % kCipherBlockSize == 0 && length <= kMaxPartnerLength;
}

// The source-tag field is meant to be NUL-terminated; a field without a NUL
// is taken as its full 32 bytes rather than read past its end.
std::string_view SourceTagText(const BrandingData& branding)
{
    const auto& field = branding.sourceTag;
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(field.data()),
            static_cast<std::size_t>(end - field.begin())};
}

} // namespace

std::string DecipherText(std::string_view key, const std::uint8_t* data, std::size_t length)
{
    const auto cipher = MakeBlowfish(key);

    length = std::min(length, kMaxDecipherLength);
    if (length == 0 || length % kCipherBlockSize != 0 || data == nullptr)
        throw DecipherError(kIncorrectBufferLength);

    // Botan's Blowfish reads each block as two big-endian 32-bit words, the
    // byte order the stored texts are written in. The working copy is wiped
    // when it is released, so no deciphered text outlives the call.
    Botan::secure_vector<std::uint8_t> plain(data, data + length);
    cipher->decrypt_n(plain.data(), plain.data(), length / kCipherBlockSize);

    const auto end = std::find(plain.begin(), plain.end(), std::uint8_t{0});
    std::string text;
    text.reserve(static_cast<std::size_t>(end - plain.begin()));
    for (auto it = plain.begin(); it != end; ++it) {
        if (*it != '~')
            text.push_back(static_cast<char>(*it));
    }
    return text;
}

std::string DecipherText(const std::uint8_t* data, std::size_t length)
{
    return DecipherText(detail::kTextKey, data, length);
}

std::string ProductName()
{
    return DecipherStored(detail::kStoredProductName);
}

std::string CopyrightText()
{
    return DecipherStored(detail::kStoredCopyright);
}

std::string CoBrandName()
{
    return CoBrandName(detail::kBuiltInBranding, detail::kBuiltInSwitches);
}

std::string CoBrandName(const BrandingData& branding, const BrandingSwitches& switches)
{
    const std::string defaultTag = DecipherStored(detail::kStoredDefaultSourceTag);

    const std::string_view fieldTag = SourceTagText(branding);
    const std::string_view source =
        (switches.makerSourceSwitch != 0 && !fieldTag.empty()) ? fieldTag : std::string_view(defaultTag);

    const bool hasPartner = branding.header[kBrandingMarkerIndex] == kPartnerMarker;
    if (hasPartner && (switches.partnerSwitch != 0 || source != defaultTag)) {
        const std::size_t partnerLength = branding.header[kPartnerLengthIndex];
        if (IsUsablePartnerLength(partnerLength))
            return DecipherText(branding.partnerCoBrandName.data(), partnerLength);
    }
    return DecipherStored(detail::kStoredDefaultCoBrandName);
}

const BrandingData& BuiltInBrandingData()
{
    return detail::kBuiltInBranding;
}

BrandingSwitches BuiltInBrandingSwitches()
{
    return detail::kBuiltInSwitches;
}

} // namespace plexor
