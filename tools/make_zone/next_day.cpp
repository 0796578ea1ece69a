// --next-day-of: the czds zone ZONE as the registry might publish it a day
// later: about 0.1 % of its domains dropped, 0.1 % new ones added at random
// places and 0.5 % moved to other name servers; everything else, the order
// included, stays as it was. ZONE may be gzip-compressed; a folder of zones
// (a czds-pull) gives a folder of next days, each NAME.txt.gz compressed.

#include "next_day.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>
#include <vector>

#include <zlib.h>

#include "random.h"

namespace make_zone
{
    namespace
    {
        // The owner of a czds line and whether the line is an NS record.
        std::string_view CzdsOwner(std::string_view line, bool& isNs)
        {
            const std::size_t tab = line.find('\t');
            isNs = line.find("\tin\tns\t") != std::string_view::npos;
            return line.substr(0, tab);
        }

        // See --next-day-of above. New domains get labels with an "x", which
        // no label of the czds form holds, so none of them was in the zone
        // before. The apex is the first line's owner. Returns 0, or 1 when
        // the input cannot be read.
        int WriteNextDay(gzFile in, const std::function<void(std::string_view)>& emit, Random& random)
        {
            std::string line;
            std::string apex;
            std::string owner; // of the domain whose lines are being copied
            bool dropped = false;
            bool moved = false;
            std::uint64_t added = 0;
            char buffer[1 << 16];
            for (;;)
            {
                line.clear();
                bool any = false;
                while (gzgets(in, buffer, sizeof buffer) != nullptr)
                {
                    any = true;
                    line += buffer;
                    if (!line.empty() && line.back() == '\n')
                        break;
                }
                if (!any)
                    break;
                bool isNs = false;
                const std::string_view lineOwner = CzdsOwner(line, isNs);
                if (apex.empty())
                    apex = lineOwner;
                if (lineOwner != owner && isNs && lineOwner != apex)
                {
                    // A new delegation begins.
                    owner = lineOwner;
                    const unsigned draw = random.Below(1000);
                    dropped = draw == 0;
                    moved = draw >= 1 && draw <= 5;
                    if (draw == 6)
                    {
                        const std::string label = "x" + std::to_string(++added) + "new";
                        for (unsigned i = 1; i <= 2; ++i)
                            emit(label + "." + apex + "\t172800\tin\tns\tns" + std::to_string(i) + ".fresh-dns.net.\n");
                    }
                }
                else if (lineOwner != owner)
                {
                    dropped = false;
                    moved = false;
                }
                if (dropped && lineOwner == owner)
                    continue;
                if (moved && isNs && lineOwner == owner)
                {
                    const std::size_t server = line.rfind('\t') + 1;
                    emit(std::string_view(line).substr(0, server));
                    emit("ns" + std::to_string(1 + random.Below(4)) + ".moved-hosting.net.\n");
                    continue;
                }
                emit(line);
            }
            int status = Z_OK;
            gzerror(in, &status);
            return status == Z_OK || status == Z_BUF_ERROR ? 0 : 1;
        }

        // One zone file's next day, written plain or, with `compress`, gzip.
        bool WriteNextDayFile(const std::string& previousDay, const std::string& output, std::uint64_t seed,
                              bool compress)
        {
            gzFile in = gzopen(previousDay.c_str(), "rb");
            if (in == nullptr)
                return false;
            std::FILE* plain = nullptr;
            gzFile packed = nullptr;
            if (compress)
                packed = gzopen(output.c_str(), "wb6");
            else
                plain = std::fopen(output.c_str(), "wb");
            bool written = plain != nullptr || packed != nullptr;
            const auto emit = [&](std::string_view text) {
                if (plain != nullptr)
                    std::fwrite(text.data(), 1, text.size(), plain);
                else if (packed != nullptr && written && !text.empty())
                    written = gzwrite(packed, text.data(), static_cast<unsigned>(text.size())) > 0;
            };
            Random random(seed);
            const bool read = written && WriteNextDay(in, emit, random) == 0;
            gzclose(in);
            if (plain != nullptr)
                written = !std::ferror(plain) && std::fclose(plain) == 0 && written;
            if (packed != nullptr)
                written = gzclose(packed) == Z_OK && written;
            return read && written;
        }

        // Every NAME.txt.gz of `previousDay`, in name order, into `output`;
        // each zone draws from a generator of its own.
        bool WriteNextDayFolder(const std::filesystem::path& previousDay, const std::filesystem::path& output,
                                std::uint64_t seed)
        {
            std::error_code error;
            std::vector<std::filesystem::path> zones;
            for (const auto& entry : std::filesystem::directory_iterator(previousDay, error))
            {
                const std::string name = entry.path().filename().string();
                if (entry.is_regular_file() && name.ends_with(".txt.gz"))
                    zones.push_back(entry.path());
            }
            std::filesystem::create_directories(output, error);
            if (error)
                return false;
            std::sort(zones.begin(), zones.end());
            std::uint64_t index = 0;
            for (const std::filesystem::path& zone : zones)
            {
                const std::uint64_t zoneSeed = seed + 0x9E3779B97F4A7C15ull * index++;
                if (!WriteNextDayFile(zone.string(), (output / zone.filename()).string(), zoneSeed, true))
                    return false;
            }
            return true;
        }
    }

    int WriteNextDayZone(const std::string& previousDay, const std::string& output, std::uint64_t seed)
    {
        std::error_code error;
        const bool ok = std::filesystem::is_directory(previousDay, error)
                            ? WriteNextDayFolder(previousDay, output, seed)
                            : WriteNextDayFile(previousDay, output, seed, false);
        if (!ok)
        {
            std::fprintf(stderr, "make_zone: cannot make the next day of '%s' in '%s'\n", previousDay.c_str(),
                         output.c_str());
            return 1;
        }
        return 0;
    }
}
