// The table-driven text steps of a build without ICU against ICU's own
// answers, taken on the build machine for the labels and terms of
// text_answer_cases.h: every decoding, form, lower case and match byte for
// byte.

#include <string>

#include <gtest/gtest.h>

#include "lookalike/label_form.h"
#include "lookalike/matcher.h"
#include "lookalike/reference_matcher.h"
#include "text_answer_cases.h"

using namespace plexor::lookalike;

namespace
{
    struct TextAnswer
    {
        const char* label;
        bool decodes;
        const char* decoded;
        const char* form;
        const char* lower;
    };

    struct MatchAnswer
    {
        int maxDistance;
        const char* name;
        const char* match;
        const char* reference;
    };

#include "text_answers.inc"

    std::string FormText(const Form& form)
    {
        std::string out;
        for (const char32_t c : form)
            out += std::to_string(static_cast<unsigned long>(c)) + " ";
        return out;
    }

    std::string MatchText(const std::optional<Match>& match)
    {
        if (!match)
            return "-";
        return std::to_string(match->term) + " " + std::string(KindName(match->kind)) + " " +
               std::to_string(match->distance);
    }

    TEST(TextAnswers, DecodingFormAndLowerCaseEqualIcus)
    {
        const IcuText& icu = IcuText::Get();
        ASSERT_EQ(std::size(kTextAnswers), std::size(answers::kLabels));
        for (const TextAnswer& answer : kTextAnswers)
        {
            std::string decoded;
            const bool decodes = HasIdnPrefix(answer.label) && icu.DecodeIdnLabel(answer.label, decoded);
            EXPECT_EQ(decodes, answer.decodes) << answer.label;
            EXPECT_EQ(decoded, answer.decoded) << answer.label;
            const std::string text = LabelText(icu, answer.label);
            EXPECT_EQ(FormText(FormOfText(icu, text)), answer.form) << answer.label;
            EXPECT_EQ(LowerText(icu, text), answer.lower) << answer.label;
        }
    }

    TEST(TextAnswers, MatchesEqualIcus)
    {
        for (const int k : {kAutomaticDistance, 1, 2})
        {
            LookalikeSettings settings;
            settings.maxDistance = k;
            settings.terms.assign(std::begin(answers::kTerms), std::end(answers::kTerms));
            std::string error;
            const auto matcher = Matcher::Create(settings, error);
            ASSERT_TRUE(matcher) << error;
            const ReferenceMatcher reference(matcher->Terms());
            for (const MatchAnswer& answer : kMatchAnswers)
            {
                if (answer.maxDistance != k)
                    continue;
                EXPECT_EQ(MatchText(matcher->MatchName(answer.name)), answer.match) << answer.name << " k " << k;
                EXPECT_EQ(MatchText(reference.MatchName(answer.name)), answer.reference) << answer.name << " k " << k;
            }
        }
    }
}
