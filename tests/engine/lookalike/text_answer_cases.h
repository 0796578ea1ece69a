#pragma once

// Labels and terms whose decodings, forms, lower cases and matches are taken
// from ICU on the build machine (make_text_answers.cpp) and compared with
// the table-driven steps of a build without ICU (text_answers_tests.cpp).

namespace plexor::lookalike::answers
{
    inline constexpr const char* kTerms[] = {
        "paypal", "microsoft", "google", "apple", "münchen", "раураl", "bücher", "straße", "ΣΟΦΙΑ", "amazon",
    };

    inline constexpr const char* kLabels[] = {
        // ASCII, upper case, digits, hyphens.
        "paypal", "PAYPAL", "PayPa1", "paypa1", "pay-pal", "paypal-login", "rnicrosoft", "micr0soft", "MICROSOFT",
        "g00gle", "goog1e", "appie", "amaz0n", "a-b_c", "x", "", "--", "0123456789",
        // Confusables, Cyrillic, Greek.
        "раураl", "РАУРАL", "аррlе", "αpple", "ΑΡΡLΕ", "gοοgle", "ѕtrаßе", "ΣΟΦΙΑ", "σοφια", "σοφιας", "ΣΟΦΙΑΣ",
        "ΑΣ", "Σ", "ΑΣ1", "ΑΣ'Β", "İstanbul", "ǅemal", "ﬁle", "ℌello", "①②", "ｐａｙｐａｌ",
        // Combining marks, composed and not.
        "münchen", "mu\xcc\x88nchen", "MÜNCHEN", "bücher", "bu\xcc\x88" "cher", "e\xcc\x81\xcc\xa3", "\xcc\x81" "abc",
        "a\xe1\xb7\x8a\xcc\x95", "straße", "STRASSE", "ǆ", "ﬀ",
        // IDN labels: valid, upper case, invalid in many ways.
        "xn--mnchen-3ya", "XN--MNCHEN-3YA", "Xn--Mnchen-3ya", "xn--l-7sba6dbr", "xn--bcher-kva", "xn--strae-oqa",
        "xn--80ak6aa92e", "xn--e1afmkfd", "xn--mgbh0fb", "xn--4gbrim", "xn--fiqs8s", "xn--wgv71a119e",
        "xn--zca", "xn--1ch", "xn--ls8h", "xn--", "xn---", "xn--a", "xn--a-", "xn--abc-", "xn---abc",
        "xn--ab--c", "xn--9", "xn--zz", "xn--mnchen-3yA", "xn--MNCHEN-3YA", "xn--ab-cd-ef", "xn--0ca",
        "xn--ssa", "xn--a-ecp.ru", "xn--tda", "xn--ida", "xn--nxa", "xn--4ca", "xn--ba-lmb", "xn--a-bmb",
        "xn--1ug", "xn--0ug", "xn--a-zgn", "xn--l-ugn", "xn--ehq", "xn--mgba3a3ejt", "xn--4dbrk0ce",
        "xn--9dbq2a", "xn--a-0mc", "xn--1-zmc", "xn--2-hmc8a", "xn--kgbechtv", "xn--a-yub", "xn--rhqv96g",
        "xn--p1ai", "xn--zckzah", "xn--n3h", "xn--bcher-kvA", "xn--ｂcher-kva", "xn--bcher-kva\xef\xbc\x8d",
        "xn--\xc2\xad" "bcher-kva", "xn--\xe2\x91\xb4", "xn--99999999999", "xn--zzzzzzzzzzzzzzzzzzzz",
        "xn--d1acufc", "xn--80akhbyknj4f", "xn--j1ail", "xn--90ae", "xn--o28h", "xn--i-7iq", "xn--5nb",
        "xn--e-ufa", "xn--caf-dma", "xn--cafe-yvc", "xn--hxajbheg2az3al", "xn--b1akcweg3a",
        // Invalid UTF-8.
        "pay\xff" "pal", "\xc3", "\xc3(", "\xe2\x82", "\xed\xa0\x80", "\xf4\x90\x80\x80", "xn--\xff", "PAY\x80PAL",
        "xn--mnchen-3ya\xc3",
    };
}
