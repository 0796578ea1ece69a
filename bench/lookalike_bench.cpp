// Throughput of the look-alike matcher: names per second with 100 and 1000
// watched terms over generated labels like those of .com (words, digits and
// hyphens), and, for scale, name-term pairs per second of the plain
// distance that the matcher avoids computing.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "lookalike/label_form.h"
#include "lookalike/matcher.h"
#include "lookalike/osa_distance.h"
#include "lookalike/terms.h"

namespace
{
    using namespace plexor::lookalike;

    const char* const kWords[] = {
        "the", "best", "shop", "online", "my", "home", "web", "net", "tech", "cloud", "data", "pro", "world",
        "media", "group", "market", "smart", "green", "blue", "city", "house", "car", "auto", "travel", "food",
        "health", "life", "art", "design", "studio", "photo", "music", "game", "play", "sport", "fit", "bio",
        "eco", "solar", "energy", "law", "legal", "bank", "pay", "money", "invest", "crypto", "coin", "trade",
        "store", "buy", "sale", "deal", "free", "top", "star", "king", "royal", "global", "local", "east",
        "west", "north", "south", "new", "york", "london", "paris", "china", "india", "usa", "love", "baby",
        "kids", "pet", "dog", "cat", "garden", "wood", "stone", "gold", "silver", "water", "fire", "air", "sky",
        "sun", "moon", "light", "dark", "red", "black", "white", "mobile", "app", "soft", "link", "hub", "lab",
        "box", "zone", "point", "line", "way", "path", "road", "street", "park", "hotel", "club", "team",
        "school", "learn", "edu", "job", "work", "office", "service", "care", "clinic", "dental", "beauty",
        "hair", "fashion", "style", "wear", "shoe", "bag", "watch", "jewel", "print", "sign", "build", "plan"};

    std::vector<std::string> Labels(std::size_t count)
    {
        std::mt19937 random(1);
        std::vector<std::string> labels;
        for (std::size_t i = 0; i < count; ++i)
        {
            std::string label;
            const std::size_t words = 1 + random() % 3;
            for (std::size_t w = 0; w < words; ++w)
            {
                if (w > 0 && random() % 6 == 0)
                    label += '-';
                label += kWords[random() % std::size(kWords)];
            }
            if (random() % 5 == 0)
                label += std::to_string(random() % 1000);
            if (random() % 10 == 0)
                for (int extra = 1 + random() % 6; extra > 0; --extra)
                    label += static_cast<char>('a' + random() % 26);
            labels.push_back(label + ".com");
        }
        return labels;
    }

    // Brand-like terms of 4 to 14 characters: syllables of English
    // letters, so that their pieces meet labels about as often as real
    // brands' pieces do, but not whole dictionary words (a watch list of
    // "shop" and "best" would match a good part of any zone).
    std::vector<std::string> Terms(std::size_t count)
    {
        std::mt19937 random(2);
        const std::string consonants = "bcdfghklmnprstvwz";
        const std::string vowels = "aeiouy";
        std::vector<std::string> terms;
        while (terms.size() < count)
        {
            const std::size_t length = 4 + random() % 11;
            std::string term;
            while (term.size() < length)
            {
                term += consonants[random() % consonants.size()];
                term += vowels[random() % vowels.size()];
                if (random() % 3 == 0)
                    term += consonants[random() % consonants.size()];
            }
            terms.push_back(term.substr(0, length));
        }
        return terms;
    }

    void BM_MatchNames(benchmark::State& state)
    {
        std::string error;
        const auto matcher = Matcher::Create({Terms(static_cast<std::size_t>(state.range(0))), kAutomaticDistance, {}}, error);
        if (!matcher)
        {
            state.SkipWithError(error.c_str());
            return;
        }
        const std::vector<std::string> labels = Labels(1 << 16);
        std::size_t matched = 0;
        for (auto _ : state)
            for (const std::string& label : labels)
                matched += matcher->MatchName(label).has_value();
        benchmark::DoNotOptimize(matched);
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * labels.size()));
        state.counters["matched_per_mille"] =
            benchmark::Counter(1000.0 * static_cast<double>(matched) / static_cast<double>(state.iterations() * labels.size()));
        state.counters["matcher_KiB"] = benchmark::Counter(static_cast<double>(matcher->MemoryBytes()) / 1024.0);
    }
    BENCHMARK(BM_MatchNames)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

    // The plain distance over every name-term pair, as a matcher without
    // filters would compute it: items are pairs.
    void BM_PlainDistancePairs(benchmark::State& state)
    {
        const IcuText& icu = IcuText::Get();
        std::vector<Form> terms;
        for (const std::string& term : Terms(100))
            terms.push_back(icu.FormOf(term));
        std::vector<Form> labels;
        for (const std::string& label : Labels(1000))
            labels.push_back(icu.FormOf(label.substr(0, label.find('.'))));
        std::size_t sum = 0;
        for (auto _ : state)
            for (const Form& label : labels)
                for (const Form& term : terms)
                    sum += OsaDistance(label, term);
        benchmark::DoNotOptimize(sum);
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * labels.size() * terms.size()));
    }
    BENCHMARK(BM_PlainDistancePairs)->Unit(benchmark::kMillisecond);

    // The floor under BM_MatchNames: reading each name's label and no more.
    void BM_ReadLabels(benchmark::State& state)
    {
        const std::vector<std::string> labels = Labels(1 << 16);
        std::size_t sum = 0;
        for (auto _ : state)
            for (const std::string& name : labels)
                for (const char c : FirstLabel(name))
                    sum += static_cast<unsigned char>(c);
        benchmark::DoNotOptimize(sum);
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * labels.size()));
    }
    BENCHMARK(BM_ReadLabels)->Unit(benchmark::kMillisecond);
}

BENCHMARK_MAIN();
