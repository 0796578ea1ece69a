// extract_run: one extraction run without the desktop program, carried
// exactly as the main dialog carries it. Prints the final status text as the
// last line on stdout; exit 0 after a completed run, 1 on any failure.
//
//   extract_run --layout gtld|se|master --mode domains|nameservers [--min N] [--max N]
//               [--exclude TEXT] [--include TEXT] [--ns TEXT] [--append]
//               [--line-limit N] ZONE OUTPUT

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "headless_run.h"
#include "run_messages.h"

namespace
{
    constexpr const char* kUsage =
        "usage: extract_run --layout gtld|se|master --mode domains|nameservers [--min N] [--max N]\n"
        "                   [--exclude TEXT] [--include TEXT] [--ns TEXT] [--append] [--line-limit N]\n"
        "                   ZONE OUTPUT\n";

    std::optional<std::int32_t> ParseInt(std::string_view text)
    {
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        return value;
    }

    int UsageError(const std::string& why)
    {
        std::fprintf(stderr, "extract_run: %s\n%s", why.c_str(), kUsage);
        return 2;
    }
}

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file-size limit then fails the write instead of killing the process,
    // and the run reports it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    std::optional<plexor::ZoneType> layout;
    std::optional<plexor::ExtractMode> mode;
    plexor::RunFilters filters;
    std::vector<std::string> paths;

    for (int i = 1; i < argc; ++i)
    {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (arg == "--append")
        {
            filters.appendNameServers = 1;
        }
        else if (arg == "--layout" || arg == "--mode" || arg == "--min" || arg == "--max" || arg == "--exclude"
                 || arg == "--include" || arg == "--ns" || arg == "--line-limit")
        {
            const auto text = value();
            if (!text)
                return UsageError(std::string(arg) + " needs a value");
            if (arg == "--layout")
            {
                if (*text == "gtld")
                    layout = plexor::ZoneType::Gtld;
                else if (*text == "se")
                    layout = plexor::ZoneType::Se;
                else if (*text == "master")
                    layout = plexor::ZoneType::Master;
                else
                    return UsageError("unknown layout '" + std::string(*text) + "'");
            }
            else if (arg == "--mode")
            {
                if (*text == "domains")
                    mode = plexor::ExtractMode::Domains;
                else if (*text == "nameservers")
                    mode = plexor::ExtractMode::NameServers;
                else
                    return UsageError("unknown mode '" + std::string(*text) + "'");
            }
            else if (arg == "--min" || arg == "--max")
            {
                const auto number = ParseInt(*text);
                if (!number)
                    return UsageError(std::string(arg) + " needs a whole number");
                (arg == "--min" ? filters.minChars : filters.maxChars) = *number;
            }
            else if (arg == "--line-limit")
            {
                std::uint64_t limit = 0;
                const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), limit);
                if (error != std::errc() || end != text->data() + text->size())
                    return UsageError("--line-limit needs a whole number (0 for no limit)");
                filters.lineLimit = limit;
            }
            else if (arg == "--exclude")
                filters.excludedChars = *text;
            else if (arg == "--include")
                filters.includeWordsText = *text;
            else
                filters.nameServerText = *text;
        }
        else if (arg.starts_with("--"))
        {
            return UsageError("unknown option '" + std::string(arg) + "'");
        }
        else
        {
            paths.emplace_back(arg);
        }
    }
    if (!layout || !mode)
        return UsageError("--layout and --mode are required");
    if (paths.size() != 2)
        return UsageError("expected ZONE and OUTPUT");

    const plexor::HeadlessRunResult result = plexor::RunHeadless(
        paths[0], paths[1], *mode, static_cast<std::int32_t>(*layout), filters);
    if (result.error)
    {
        std::fprintf(stderr, "%s\n", result.error->c_str());
        if (!result.statusText.empty())
            std::printf("%s\n", result.statusText.c_str());
        return 1;
    }
    std::printf("%s\n", result.statusText.c_str());
    if (result.unreadableRecords > 0)
        std::fprintf(stderr, "extract_run: %llu records could not be read and were skipped\n",
                     static_cast<unsigned long long>(result.unreadableRecords));
    if (result.layoutHint)
        std::fprintf(stderr, "extract_run: %s\n", result.layoutHint->c_str());
    if (std::fflush(stdout) != 0)
        return 1;
    if (result.stoppedAtLineLimit)
    {
        std::fprintf(stderr, "extract_run: %s The option is --line-limit N.\n",
                     plexor::LineLimitMessage(filters.lineLimit).c_str());
        return 3;
    }
    return 0;
}
