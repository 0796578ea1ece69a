#include <random>
#include <string>

#include <gtest/gtest.h>

#include "lookalike/label_form.h"

using namespace plexor::lookalike;

namespace
{
    Form TableForm(const AsciiFormTable& table, std::string_view text)
    {
        Form form;
        char32_t chars[AsciiFormTable::kMaxPerByte];
        for (const char c : text)
            form.append(chars, table.Append(static_cast<unsigned char>(c), chars));
        return form;
    }

    std::string Utf8(const Form& form)
    {
        std::string out;
        for (const char32_t c : form)
        {
            if (c < 0x80)
                out += static_cast<char>(c);
            else if (c < 0x800)
                out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            else
                out += "<" + std::to_string(static_cast<unsigned long>(c)) + ">";
        }
        return out;
    }

    TEST(LabelForm, FollowsSkeletonLowerCaseAndMarkRemoval)
    {
        struct Case
        {
            const char* text;
            const char* form;
        };
        const Case cases[] = {
            {"paypal", "paypal"},
            {"PayPa1", "paypal"},
            {"раураl", "paypal"},  // Cyrillic but for the l
            {"micr0soft", "rnicrosoft"},
            {"rnicrosoft", "rnicrosoft"},
            {"MICROSOFT", "rnicrosoft"},
            {"münchen", "rnunchen"},
            {"MÜNCHEN", "rnunchen"},
            {"münchen", "rnunchen"},  // u and a combining diaeresis
            {"", ""},
            {"a-b_c", "a-b_c"},
        };
        const IcuText& icu = IcuText::Get();
        for (const Case& c : cases)
            EXPECT_EQ(Utf8(FormOfText(icu, c.text)), c.form) << c.text;
    }

    TEST(LabelForm, InvalidUtf8IsItsBytesWithAsciiLowerCased)
    {
        const Form form = FormOfText(IcuText::Get(), "Pa1\xff\xC3");
        EXPECT_EQ(form, (Form{'p', 'a', '1', kRawByteBase + 0xFF, kRawByteBase + 0xC3}));
    }

    TEST(LabelForm, DecodesIdnLabelsOfAnyCaseAndKeepsOthers)
    {
        struct Case
        {
            const char* label;
            const char* text;
        };
        const Case cases[] = {
            {"xn--mnchen-3ya", "münchen"},
            {"XN--MNCHEN-3YA", "münchen"},
            {"Xn--l-7sba6dbr", "раураl"},
            {"xn--", "xn--"},                   // nothing to decode
            {"xn--zz-", "xn--zz-"},             // not Punycode
            {"xn--paypal-", "xn--paypal-"},     // ASCII only: an error for IDNA
            {"xn--a.b", "xn--a.b"},             // not a single label
            {"paypal", "paypal"},
            {"xn-mnchen-3ya", "xn-mnchen-3ya"},
        };
        for (const Case& c : cases)
            EXPECT_EQ(LabelText(IcuText::Get(), c.label), c.text) << c.label;
    }

    // The table path is sound only if the form of an ASCII text is the forms
    // of its bytes one after the other: every byte, every pair, and random
    // longer texts.
    TEST(AsciiFormTable, EqualsTheIcuFormOfEveryAsciiText)
    {
        const IcuText& icu = IcuText::Get();
        const AsciiFormTable table(icu);
        std::string text(2, '\0');
        for (int a = 0; a < 128; ++a)
        {
            text.assign(1, static_cast<char>(a));
            ASSERT_EQ(TableForm(table, text), icu.FormOf(text)) << a;
            for (int b = 0; b < 128; ++b)
            {
                text.assign({static_cast<char>(a), static_cast<char>(b)});
                ASSERT_EQ(TableForm(table, text), icu.FormOf(text)) << a << " " << b;
            }
        }
        std::mt19937 random(7);
        const std::string usual = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_";
        for (int i = 0; i < 20000; ++i)
        {
            text.resize(1 + random() % 20);
            for (char& c : text)
                c = (i % 4 == 0) ? static_cast<char>(random() % 128) : usual[random() % usual.size()];
            ASSERT_EQ(TableForm(table, text), icu.FormOf(text)) << text;
        }
    }
}
