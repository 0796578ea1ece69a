// --next-day-of: the czds zone ZONE as the registry might publish it a day
// later: about 0.1 % of its domains dropped, 0.1 % new ones added at random
// places and 0.5 % moved to other name servers; everything else, the order
// included, stays as it was.

#include "next_day.h"

#include <cstdio>
#include <string_view>

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
        // no label of WriteCzds holds, so none of them was in the zone before.
        int WriteNextDay(std::FILE* in, std::FILE* out, Random& random)
        {
            std::string line;
            std::string owner; // of the domain whose lines are being copied
            bool dropped = false;
            bool moved = false;
            std::uint64_t added = 0;
            char buffer[1 << 16];
            const auto emit = [&](std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); };
            for (;;)
            {
                line.clear();
                bool any = false;
                while (std::fgets(buffer, sizeof buffer, in) != nullptr)
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
                if (lineOwner != owner && isNs && lineOwner != "com.")
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
                            emit(label + ".com.\t172800\tin\tns\tns" + std::to_string(i) + ".fresh-dns.net.\n");
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
            return std::ferror(in) ? 1 : 0;
        }
    }

    int WriteNextDayZone(const std::string& previousDay, const std::string& output, std::uint64_t seed)
    {
        std::FILE* in = std::fopen(previousDay.c_str(), "rb");
        std::FILE* out = in != nullptr ? std::fopen(output.c_str(), "wb") : nullptr;
        Random random(seed);
        const int code = out != nullptr ? WriteNextDay(in, out, random) : 1;
        const bool ok = code == 0 && out != nullptr && !std::ferror(out);
        if (in != nullptr)
            std::fclose(in);
        if ((out != nullptr && std::fclose(out) != 0) || !ok)
        {
            std::fprintf(stderr, "make_zone: cannot make the next day of '%s' in '%s'\n", previousDay.c_str(),
                         output.c_str());
            return 1;
        }
        return 0;
    }
}
