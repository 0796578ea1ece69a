// Fuzz target: deciphering stored texts with any key and any bytes. The
// first input byte gives the key's length (0 to 63, so keys beyond the 56
// bytes Blowfish takes are tried too) and two flags; the key's bytes follow,
// then the stored text. DecipherText must either return a display text or
// refuse with exactly one of its two messages, and its result may depend only
// on what it is documented to read.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "about/program_texts.h"
#include "fuzz_check.h"
#include "fuzz_support.h"

namespace
{
    constexpr std::string_view kKeyMessage = "Incorrect key length";
    constexpr std::string_view kBufferMessage = "Incorrect buffer length";

    struct Outcome
    {
        std::optional<std::string> text;
        std::string refusal;
    };

    template <typename Call>
    Outcome Attempt(Call call)
    {
        Outcome outcome;
        try
        {
            outcome.text = call();
        }
        catch (const plexor::DecipherError& error)
        {
            outcome.refusal = error.what();
            PLEXOR_FUZZ_CHECK(outcome.refusal == kKeyMessage || outcome.refusal == kBufferMessage);
        }
        return outcome;
    }

    bool UsableLength(std::size_t length)
    {
        const std::size_t read = std::min(length, plexor::kMaxDecipherLength);
        return read != 0 && read % plexor::kCipherBlockSize == 0;
    }

    void CheckDisplayText(const Outcome& outcome, std::size_t length)
    {
        const std::string& text = *outcome.text;
        PLEXOR_FUZZ_CHECK(text.size() <= std::min(length, plexor::kMaxDecipherLength));
        PLEXOR_FUZZ_CHECK(text.find('~') == std::string::npos);
        PLEXOR_FUZZ_CHECK(text.find('\0') == std::string::npos);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plexor::fuzz::InputCursor input(data, size);
    const std::uint8_t control = input.Byte();
    const std::string key(input.Take(control % 64));
    const bool nullData = (control & 0x40) != 0;
    const std::string_view rest = input.Rest();
    // A copy of exactly the stored text's size: a read past it is caught.
    const std::string stored(rest);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stored.data());
    const std::uint8_t* passed = nullData ? nullptr : bytes;

    const Outcome outcome = Attempt([&] { return plexor::DecipherText(key, passed, stored.size()); });
    if (key.empty())
    {
        PLEXOR_FUZZ_CHECK(outcome.refusal == kKeyMessage);
    }
    else if (nullData || !UsableLength(stored.size()))
    {
        PLEXOR_FUZZ_CHECK(outcome.refusal == kBufferMessage);
    }
    else
    {
        PLEXOR_FUZZ_CHECK(outcome.text.has_value());
        CheckDisplayText(outcome, stored.size());
        // Only the first 56 key bytes and the first 1024 text bytes count.
        const Outcome shorter = Attempt([&] {
            return plexor::DecipherText(std::string_view(key).substr(0, plexor::kMaxKeyLength), bytes,
                                        std::min(stored.size(), plexor::kMaxDecipherLength));
        });
        PLEXOR_FUZZ_CHECK(shorter.text == outcome.text);
        // Deciphering is block by block: the first block alone gives the
        // beginning of the text (up to its first NUL).
        const Outcome firstBlock =
            Attempt([&] { return plexor::DecipherText(key, bytes, plexor::kCipherBlockSize); });
        PLEXOR_FUZZ_CHECK(firstBlock.text.has_value());
        PLEXOR_FUZZ_CHECK(outcome.text->compare(0, firstBlock.text->size(), *firstBlock.text) == 0);
    }

    // Under the program's own key only the length and the pointer matter.
    const Outcome own = Attempt([&] { return plexor::DecipherText(passed, stored.size()); });
    if (nullData || !UsableLength(stored.size()))
        PLEXOR_FUZZ_CHECK(own.refusal == kBufferMessage);
    else
        CheckDisplayText(own, stored.size());
    return 0;
}
