#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "about/program_texts.h"
#include "about/program_texts_data.h"
#include "tools/make_program_texts/plain_texts.h"
#include "tools/make_program_texts/text_encipher.h"

namespace plexor {
namespace {

namespace plain = plain_texts;
using texts_tool::EncipherBlocks;
using texts_tool::EncipherError;
using texts_tool::EncipherText;
using texts_tool::MakeBrandingData;

constexpr std::string_view kTestKey = "TESTKEY1";

std::vector<std::uint8_t> FromHex(std::string_view hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

std::string DecipherAll(std::string_view key, const std::vector<std::uint8_t>& stored)
{
    return DecipherText(key, stored.data(), stored.size());
}

// The message of the DecipherError that `call` raises, or "" if none.
template <typename Call>
std::string RefusalOf(Call call)
{
    try {
        call();
    } catch (const DecipherError& error) {
        return error.what();
    }
    return {};
}

TEST(StoredTexts, DecipherToThePlainTextsTheyWereMadeFrom)
{
    EXPECT_EQ(ProductName(), plain::kProductName);
    EXPECT_EQ(CopyrightText(), plain::kCopyright);
    EXPECT_EQ(CoBrandName(), plain::kDefaultCoBrandName);
    EXPECT_EQ(DecipherText(detail::kStoredDefaultSourceTag.data(), detail::kStoredDefaultSourceTag.size()),
              plain::kDefaultSourceTag);
}

// Published Blowfish ECB vectors (Eric Young's set). Their plain blocks hold
// neither NUL nor '~', so DecipherText returns them unchanged; a wrong byte
// order of the block words would give other bytes.
TEST(DecipherText, MatchesPublishedBlowfishVectors)
{
    struct Vector
    {
        std::string_view key;
        std::string_view plain;
        std::string_view cipher;
    };
    const Vector vectors[] = {
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
        // Two blocks under one key: each is deciphered on its own (ECB).
        {"1111111111111111", "11111111111111110123456789ABCDEF", "2466DD878B963C9D7D0CC630AFDA1EC7"},
    };
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.cipher);
        const auto key = FromHex(v.key);
        const auto expected = FromHex(v.plain);
        const std::string keyText(key.begin(), key.end());
        EXPECT_EQ(DecipherAll(keyText, FromHex(v.cipher)), std::string(expected.begin(), expected.end()));
    }
}

TEST(DecipherText, TextEndsAtNulAndLosesEveryTilde)
{
    struct Case
    {
        std::string_view plain; // whole blocks, as stored
        std::string_view text;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"abc~~~~~"sv, "abc"sv},
        {"A~B~~~~~"sv, "AB"sv},
        {"~a~b~c~d"sv, "abcd"sv},
        {"abcd\0xyz"sv, "abcd"sv},
        {"abcdefgh"sv, "abcdefgh"sv},
        {"~~~~~~~~"sv, ""sv},
        {"\0bcdefgh"sv, ""sv},
        {"abcdefg~hij\0klmn"sv, "abcdefghij"sv},
        {"abcdefghijklmnop~~~~~~~~"sv, "abcdefghijklmnop"sv},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.plain));
        EXPECT_EQ(DecipherAll(kTestKey, EncipherBlocks(kTestKey, Bytes(c.plain))), c.text);
    }
}

TEST(DecipherText, RefusesBadArguments)
{
    const auto stored = EncipherBlocks(kTestKey, Bytes("abcdefghabcdefgh"));
    struct Case
    {
        const char* what;
        std::string_view key;
        const std::uint8_t* data;
        std::size_t length;
        std::string_view message;
    };
    const Case cases[] = {
        {"empty key", "", stored.data(), 8, "Incorrect key length"},
        {"empty key before length", "", stored.data(), 0, "Incorrect key length"},
        {"length 0", kTestKey, stored.data(), 0, "Incorrect buffer length"},
        {"length 12", kTestKey, stored.data(), 12, "Incorrect buffer length"},
        {"length 7", kTestKey, stored.data(), 7, "Incorrect buffer length"},
        {"no data", kTestKey, nullptr, 8, "Incorrect buffer length"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RefusalOf([&] { DecipherText(c.key, c.data, c.length); }), c.message);
    }
}

TEST(DecipherText, DeciphersAtMost1024Bytes)
{
    const std::string head(1024, 'x');
    const auto stored = EncipherBlocks(kTestKey, Bytes(head + "YYYYYYYY"));
    ASSERT_EQ(stored.size(), 1032u);

    // The length is cut before it is checked, so 1025 is taken as 1024 too.
    for (std::size_t length : {std::size_t{1032}, std::size_t{1025}}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(DecipherText(kTestKey, stored.data(), length), head);
    }
}

TEST(DecipherText, UsesOnlyTheFirst56KeyBytes)
{
    const std::string key56 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrst";
    ASSERT_EQ(key56.size(), 56u);
    const auto stored = EncipherBlocks(key56, Bytes("LongKey~"));

    EXPECT_EQ(DecipherAll(key56, stored), "LongKey");
    EXPECT_EQ(DecipherAll(key56 + "u", stored), "LongKey");
    EXPECT_EQ(DecipherAll(key56 + "uvwxyz", stored), "LongKey");

    // The 56th byte still counts.
    std::string other = key56;
    other.back() = '!';
    EXPECT_NE(DecipherAll(other, stored), "LongKey");
}

TEST(DecipherText, TakesAOneByteKey)
{
    EXPECT_EQ(DecipherAll("K", EncipherBlocks("K", Bytes("one~~~~~"))), "one");
}

// The enciphering side of the generator: what it writes must come back.
TEST(EncipherText, RoundTripsThroughDecipherText)
{
    for (std::string_view text : {"", "a", "Plexor2", "exactly8", "Nine char", "Velmora Technologies"}) {
        SCOPED_TRACE(text);
        const auto stored = EncipherText(kTestKey, text, texts_tool::StoredLengthFor(text));
        EXPECT_EQ(stored.size() % 8, 0u);
        EXPECT_EQ(DecipherAll(kTestKey, stored), text);
    }
}

TEST(EncipherText, RefusesTextsThatWouldNotComeBack)
{
    using namespace std::string_view_literals;
    struct Case
    {
        const char* what;
        std::string_view key;
        std::string_view text;
        std::size_t storedLength;
    };
    const Case cases[] = {
        {"tilde", kTestKey, "A~B", 8},
        {"NUL", kTestKey, "ab\0cd"sv, 8},
        {"too long", kTestKey, "123456789", 8},
        {"stored length 0", kTestKey, "", 0},
        {"stored length 12", kTestKey, "abc", 12},
        {"stored length above 1024", kTestKey, "abc", 1032},
        {"empty key", "", "abc", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(EncipherText(c.key, c.text, c.storedLength), EncipherError);
    }

    EXPECT_THROW(MakeBrandingData(kTestKey, "velmora", std::string(57, 'p')), EncipherError);
    EXPECT_THROW(MakeBrandingData(kTestKey, std::string(32, 't'), ""), EncipherError);
}

// CoBrandName decides between the default name and the partner's.
class CoBrandNameChoice : public ::testing::Test
{
protected:
    static constexpr std::string_view kPartner = "Partner Co-brand";

    // Branding data carrying kPartner, with the given source-tag text.
    static BrandingData PartnerData(std::string_view sourceTag = plain::kDefaultSourceTag)
    {
        return MakeBrandingData(plain::kKey, sourceTag, kPartner);
    }

    static BrandingData WithPartnerLength(std::uint8_t length)
    {
        BrandingData data = PartnerData();
        data.header[kPartnerLengthIndex] = length;
        return data;
    }
};

TEST_F(CoBrandNameChoice, FollowsMarkerSwitchesAndSource)
{
    const std::string defaultName(plain::kDefaultCoBrandName);
    const std::string partnerName(kPartner);

    BrandingData noMarker = PartnerData("acme");
    noMarker.header[kBrandingMarkerIndex] = '$';

    BrandingData tagWithoutNul = PartnerData();
    tagWithoutNul.sourceTag.fill('t');

    struct Case
    {
        const char* what;
        BrandingData data;
        BrandingSwitches switches;
        const std::string& expected;
    };
    const Case cases[] = {
        {"built-in data", BuiltInBrandingData(), BuiltInBrandingSwitches(), defaultName},
        {"no marker, both switches on", noMarker, {1, 1}, defaultName},
        {"marker, both switches off", PartnerData(), {0, 0}, defaultName},
        {"marker, partner switch", PartnerData(), {1, 0}, partnerName},
        {"marker, partner switch, other tag", PartnerData("acme"), {1, 1}, partnerName},
        {"marker, maker-source switch, other tag", PartnerData("acme"), {0, 1}, partnerName},
        {"marker, maker-source switch, tag in other case", PartnerData("Velmora"), {0, 1}, partnerName},
        {"marker, maker-source switch, default tag", PartnerData(), {0, 1}, defaultName},
        {"marker, maker-source switch, empty tag", PartnerData(""), {0, 1}, defaultName},
        {"marker, other tag but maker-source switch off", PartnerData("acme"), {0, 0}, defaultName},
        {"marker, tag field without NUL", tagWithoutNul, {0, 1}, partnerName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CoBrandName(c.data, c.switches), c.expected);
    }
}

TEST_F(CoBrandNameChoice, BadPartnerLengthFallsBackToTheDefaultName)
{
    for (std::uint8_t length : {0, 4, 12, 17, 64, 200, 255}) {
        SCOPED_TRACE(static_cast<int>(length));
        EXPECT_EQ(CoBrandName(WithPartnerLength(length), {1, 0}), plain::kDefaultCoBrandName);
    }
}

TEST_F(CoBrandNameChoice, PartnerLengthUpTo56IsUsed)
{
    // The stored partner name is 16 bytes; 8 of them give its first block.
    EXPECT_EQ(CoBrandName(WithPartnerLength(8), {1, 0}), kPartner.substr(0, 8));

    const std::string longest(56, 'P');
    const BrandingData data = MakeBrandingData(plain::kKey, plain::kDefaultSourceTag, longest);
    EXPECT_EQ(data.header[kPartnerLengthIndex], 56);
    EXPECT_EQ(CoBrandName(data, {1, 0}), longest);
}

} // namespace
} // namespace plexor
