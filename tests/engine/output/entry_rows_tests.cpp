#include <string>

#include <gtest/gtest.h>

#include "output/entry_rows.h"

using namespace plexor;

namespace
{
    std::string Row(OutputForm form, const EntryColumns& columns, const EntryFields& fields)
    {
        std::string out;
        AppendEntryRow(form, columns, fields, out);
        return out;
    }

    TEST(EntryRows, HeaderNamesTheColumnsOfTheRun)
    {
        struct Case
        {
            EntryColumns columns;
            const char* header;
        };
        const Case cases[] = {
            {{false, false}, "name\tservers\tunicode\n"},
            {{true, false}, "name\tservers\tunicode\tterm\tkind\tdistance\n"},
            {{false, true}, "name\tservers\tunicode\tzone\n"},
            {{true, true}, "name\tservers\tunicode\tterm\tkind\tdistance\tzone\n"},
        };
        for (const Case& c : cases)
        {
            std::string tsv;
            AppendTableHeader(OutputForm::Tsv, c.columns, tsv);
            EXPECT_EQ(tsv, c.header);
            std::string other;
            AppendTableHeader(OutputForm::Jsonl, c.columns, other);
            AppendTableHeader(OutputForm::List, c.columns, other);
            EXPECT_EQ(other, "") << "only tsv has a header line";
        }
    }

    TEST(EntryRows, RowsHoldEveryFieldInOrder)
    {
        const EntryFields fields {"xn--l-7sba6dbr.com", "ns1.example.net,ns2.example.net", "раураl.com", "paypal",
                                  "homoglyph", 0, "com"};
        EXPECT_EQ(Row(OutputForm::Tsv, {true, true}, fields),
                  "xn--l-7sba6dbr.com\tns1.example.net,ns2.example.net\tраураl.com\tpaypal\thomoglyph\t0\tcom\n");
        EXPECT_EQ(Row(OutputForm::Jsonl, {true, true}, fields),
                  "{\"name\":\"xn--l-7sba6dbr.com\",\"servers\":[\"ns1.example.net\",\"ns2.example.net\"],"
                  "\"unicode\":\"раураl.com\",\"term\":\"paypal\",\"kind\":\"homoglyph\",\"distance\":0,"
                  "\"zone\":\"com\"}\n");
        EntryFields plain;
        plain.name = "EXAMPLE.COM";
        EXPECT_EQ(Row(OutputForm::Tsv, {}, plain), "EXAMPLE.COM\t\t\n");
        EXPECT_EQ(Row(OutputForm::Jsonl, {}, plain), "{\"name\":\"EXAMPLE.COM\",\"servers\":[],\"unicode\":null}\n");
        EXPECT_EQ(Row(OutputForm::List, {}, plain), "") << "the list form is written by the batch itself";
    }

    TEST(EntryRows, FieldsThatWouldBreakARowAreEscaped)
    {
        // Master files can give names any byte through \DDD escapes.
        const std::string name = "a\tb\\c\nd\re\x01" "f\"g\xff" "h\xc3";
        EntryFields fields;
        fields.name = name;
        EXPECT_EQ(Row(OutputForm::Tsv, {}, fields), "a\\tb\\\\c\\nd\\re\x01" "f\"g\xff" "h\xc3\t\t\n");
        EXPECT_EQ(Row(OutputForm::Jsonl, {}, fields),
                  "{\"name\":\"a\\tb\\\\c\\nd\\re\\u0001f\\\"g\\u00ffh\\u00c3\",\"servers\":[],\"unicode\":null}\n");
    }

    TEST(EntryRows, JsonKeepsWellFormedUtf8AndEscapesEveryMalformedByte)
    {
        struct Case
        {
            std::string text;
            const char* json;
        };
        const Case cases[] = {
            {"m\xc3\xbcnchen", "\"m\xc3\xbcnchen\""},
            {"\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xe2\x82\xac\xf0\x9f\x98\x80\""},
            {"\xc0\xaf", "\"\\u00c0\\u00af\""},         // overlong
            {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""}, // surrogate
            {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""}, // above U+10FFFF
            {"\xe2\x82", "\"\\u00e2\\u0082\""},         // cut short at the end
            {std::string("\0", 1), "\"\\u0000\""},
        };
        for (const Case& c : cases)
        {
            std::string out;
            AppendJsonString(c.text, out);
            EXPECT_EQ(out, c.json);
        }
    }

    TEST(EntryRows, FormNamesRoundTrip)
    {
        for (const OutputForm form : {OutputForm::List, OutputForm::Tsv, OutputForm::Jsonl})
            EXPECT_EQ(ParseOutputForm(OutputFormName(form)), form);
        EXPECT_FALSE(ParseOutputForm("TSV"));
        EXPECT_FALSE(ParseOutputForm("csv"));
        EXPECT_FALSE(ParseOutputForm(""));
    }
}
