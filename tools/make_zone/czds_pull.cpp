// The czds-pull layout: a folder as a pull of ICANN's Centralized Zone Data
// Service leaves it: one large .com-like zone, 20 zones of 100,000 to
// 1,000,000 lines and 500 zones of 20 to 2,000 lines, each NAME.txt.gz, a
// gzip-compressed czds-form master file of its own origin with its SOA and
// NS records. --lines gives the large zone's length (6,000,000 as in the
// real pull); the other zones scale with it, no zone below 20 lines, so that
// a test can make a small folder.

#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>

#include <zlib.h>

#include "czds_form.h"
#include "layouts.h"
#include "names.h"

namespace make_zone
{
    namespace
    {
        constexpr std::uint64_t kFullLargeZone = 6'000'000;
        constexpr unsigned kMiddleZones = 20;
        constexpr unsigned kSmallZones = 500;
        constexpr std::uint64_t kSmallestZone = 20;

        constexpr std::string_view kMiddleTlds[kMiddleZones] = {
            "net",  "org", "info", "xyz",  "online", "top",  "shop", "site", "store",   "club",
            "app",  "dev", "vip",  "live", "pro",    "biz",  "tech", "space", "website", "fun"};

        // The small zones' names: the zone's number in bijective base 20,
        // one syllable a digit, from two syllables up. No middle zone's name
        // can be read as syllables (none is two-letter pairs of them).
        std::string SmallTld(unsigned index)
        {
            std::uint64_t value = index + 21;
            std::string name;
            while (value > 0)
            {
                --value;
                name += kSyllables[value % 20];
                value /= 20;
            }
            return name;
        }

        std::uint64_t Scaled(std::uint64_t full, std::uint64_t largeZone)
        {
            const std::uint64_t lines = full * largeZone / kFullLargeZone;
            return lines < kSmallestZone ? kSmallestZone : lines;
        }

        // Writes one zone as DIR/TLD.txt.gz; false after a message.
        bool WriteGzipZone(const std::filesystem::path& folder, std::string_view tld, std::uint64_t lines,
                           std::uint64_t seed, int ownServersPercent)
        {
            const std::string path = (folder / (std::string(tld) + ".txt.gz")).string();
            gzFile file = gzopen(path.c_str(), "wb6");
            if (file == nullptr)
            {
                std::fprintf(stderr, "make_zone: cannot create '%s'\n", path.c_str());
                return false;
            }
            bool ok = true;
            {
                BlockWriter writer(
                    [&](std::string_view block) {
                        if (ok && !block.empty())
                            ok = gzwrite(file, block.data(), static_cast<unsigned>(block.size())) > 0;
                    },
                    false);
                Random random(seed);
                OwnServerShare own(seed, ownServersPercent);
                WriteCzdsRecords(writer, random, own, tld, lines);
                writer.Flush();
            }
            if (gzclose(file) != Z_OK || !ok)
            {
                std::fprintf(stderr, "make_zone: cannot write '%s'\n", path.c_str());
                return false;
            }
            return true;
        }
    }

    int WriteCzdsPull(const ZoneRequest& request)
    {
        const std::filesystem::path folder(request.output);
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error)
        {
            std::fprintf(stderr, "make_zone: cannot create the folder '%s'\n", request.output.c_str());
            return 1;
        }
        const std::uint64_t large = request.lines;
        std::uint64_t zone = 0;
        // Each zone draws from a generator of its own, so a zone's bytes do
        // not depend on the ones written before it.
        const auto write = [&](std::string_view tld, std::uint64_t lines) {
            return WriteGzipZone(folder, tld, lines, request.seed + 0x9E3779B97F4A7C15ull * zone++,
                                 request.ownServersPercent);
        };
        if (!write("com", large))
            return 1;
        for (unsigned i = 0; i < kMiddleZones; ++i)
        {
            if (!write(kMiddleTlds[i], Scaled(100'000 + i * 900'000ull / (kMiddleZones - 1), large)))
                return 1;
        }
        for (unsigned i = 0; i < kSmallZones; ++i)
        {
            if (!write(SmallTld(i), Scaled(20 + i * 1'980ull / (kSmallZones - 1), large)))
                return 1;
        }
        return 0;
    }
}
