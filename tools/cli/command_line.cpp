#include "command_line.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace plexor
{
    namespace
    {
        template <typename Number>
        std::optional<Number> ParseNumber(std::string_view text)
        {
            Number value {};
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || error != std::errc() || end != text.data() + text.size())
                return std::nullopt;
            return value;
        }

        bool TakesValue(std::string_view option)
        {
            return option == "--layout" || option == "--mode" || option == "--min" || option == "--max"
                   || option == "--exclude" || option == "--include" || option == "--ns" || option == "--line-limit"
                   || option == "--new-since" || option == "--dropped-since" || option == "--format"
                   || option == "--like" || option == "--like-file" || option == "--like-distance"
                   || option == "--like-except" || option == "--count-by" || option == "--provider-map"
                   || option == "--output-dir" || option == "--jobs" || option == "--summary";
        }

        ParsedCommandLine Refuse(std::string why)
        {
            ParsedCommandLine parsed;
            parsed.action = ParsedCommandLine::Action::UsageError;
            parsed.error = std::move(why);
            return parsed;
        }
    }

    ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& arguments)
    {
        ParsedCommandLine parsed;
        ExtractCommand& command = parsed.command;
        // A script that asks for a zone's names expects all of them: each
        // filter is off unless given.
        command.filters.minChars = 0;
        command.filters.maxChars = std::numeric_limits<std::int32_t>::max();
        command.filters.excludedChars.clear();
        command.filters.lineLimit = 0;
        bool haveLineLimit = false;
        bool optionsEnded = false;
        std::vector<std::string> paths;

        for (std::size_t i = 0; i < arguments.size(); ++i)
        {
            std::string_view arg = arguments[i];
            if (optionsEnded || arg == kStandardStreamArgument || !arg.starts_with("-"))
            {
                paths.emplace_back(arg);
                continue;
            }
            if (arg == "--")
            {
                optionsEnded = true;
                continue;
            }
            if (arg == "--help" || arg == "-h")
            {
                parsed.action = ParsedCommandLine::Action::Help;
                return parsed;
            }
            if (arg == "--version")
            {
                parsed.action = ParsedCommandLine::Action::Version;
                return parsed;
            }

            // --name VALUE or --name=VALUE
            std::optional<std::string_view> inlineValue;
            if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos)
            {
                inlineValue = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
            }
            const std::string name(arg);

            if (!TakesValue(arg))
            {
                if (inlineValue)
                    return Refuse(name + " takes no value");
                if (arg == "--append")
                    command.filters.appendNameServers = 1;
                else if (arg == "--lf")
                    command.lineEnd = LineEnd::Lf;
                else if (arg == "--progress")
                    command.progress = true;
                else if (arg == "--quiet")
                    command.quiet = true;
                else
                    return Refuse("unknown option '" + name + "'");
                continue;
            }

            std::string_view value;
            if (inlineValue)
                value = *inlineValue;
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                return Refuse(name + " needs a value");

            if (arg == "--layout")
            {
                command.layoutAuto = false;
                if (value == "auto")
                    command.layoutAuto = true;
                else if (value == "gtld")
                    command.layout = ZoneType::Gtld;
                else if (value == "se")
                    command.layout = ZoneType::Se;
                else if (value == "master")
                    command.layout = ZoneType::Master;
                else
                    return Refuse("unknown layout '" + std::string(value) + "' (auto, gtld, se or master)");
            }
            else if (arg == "--mode")
            {
                if (value == "domains")
                    command.mode = ExtractMode::Domains;
                else if (value == "nameservers")
                    command.mode = ExtractMode::NameServers;
                else
                    return Refuse("unknown mode '" + std::string(value) + "' (domains or nameservers)");
            }
            else if (arg == "--min" || arg == "--max")
            {
                const auto number = ParseNumber<std::int32_t>(value);
                if (!number)
                    return Refuse(name + " needs a whole number, not '" + std::string(value) + "'");
                (arg == "--min" ? command.filters.minChars : command.filters.maxChars) = *number;
            }
            else if (arg == "--line-limit")
            {
                const auto number = ParseNumber<std::uint64_t>(value);
                if (!number)
                    return Refuse("--line-limit needs a whole number (0 for no limit), not '" + std::string(value) + "'");
                command.filters.lineLimit = *number;
                haveLineLimit = true;
            }
            else if (arg == "--new-since" || arg == "--dropped-since")
            {
                if (command.changes != ZoneChanges::None)
                    return Refuse("--new-since and --dropped-since exclude each other, and each is given once");
                if (value.empty() || value == kStandardStreamArgument)
                    return Refuse(name + " needs the older zone file by name");
                command.changes = arg == "--new-since" ? ZoneChanges::NewNames : ZoneChanges::DroppedNames;
                command.olderZone = value;
            }
            else if (arg == "--output-dir")
            {
                if (value.empty() || value == kStandardStreamArgument)
                    return Refuse("--output-dir needs a folder by name");
                command.outputDir = value;
            }
            else if (arg == "--jobs")
            {
                const auto number = ParseNumber<unsigned>(value);
                if (!number || *number == 0 || *number > 1024)
                    return Refuse("--jobs needs a whole number from 1 to 1024, not '" + std::string(value) + "'");
                command.jobs = *number;
            }
            else if (arg == "--summary")
            {
                if (value.empty() || value == kStandardStreamArgument)
                    return Refuse("--summary needs a file by name");
                command.summaryFile = value;
            }
            else if (arg == "--format")
            {
                const std::optional<OutputForm> form = ParseOutputForm(value);
                if (!form)
                    return Refuse("unknown output form '" + std::string(value) + "' (list, tsv or jsonl)");
                command.form = *form;
            }
            else if (arg == "--like")
            {
                command.lookalike.termsText = value;
                command.lookalike.haveTermsText = true;
            }
            else if (arg == "--like-file")
            {
                if (value.empty())
                    return Refuse("--like-file needs the name of a file of terms");
                command.lookalike.termsFile = value;
            }
            else if (arg == "--like-distance")
            {
                const auto number = ParseNumber<int>(value);
                if (!number || *number < 0 || *number > 3)
                    return Refuse("--like-distance needs a whole number from 0 to 3, not '" + std::string(value) + "'");
                command.lookalike.distance = *number;
            }
            else if (arg == "--like-except")
                command.lookalike.exceptText = value;
            else if (arg == "--count-by")
            {
                if (value == "server")
                    command.countBy = CountBy::Server;
                else if (value == "provider")
                    command.countBy = CountBy::Provider;
                else
                    return Refuse("unknown count '" + std::string(value) + "' (server or provider)");
            }
            else if (arg == "--provider-map")
            {
                if (value.empty())
                    return Refuse("--provider-map needs the name of a provider map file");
                command.providerMap = value;
            }
            else if (arg == "--exclude")
                command.filters.excludedChars = value;
            else if (arg == "--include")
                command.filters.includeWordsText = value;
            else
                command.filters.nameServerText = value;
        }

        if (command.outputDir.empty() && paths.size() < 2)
            return Refuse("expected ZONE... and OUTPUT, got " + std::to_string(paths.size()) + " file name"
                          + (paths.size() == 1 ? "" : "s"));
        if (!command.outputDir.empty() && paths.empty())
            return Refuse("expected at least one ZONE with --output-dir");
        if (command.progress && command.quiet)
            return Refuse("--progress and --quiet exclude each other");
        const LookalikeRequest& like = command.lookalike;
        if (!like.Requested() && (like.distance || !like.exceptText.empty()))
            return Refuse("--like-distance and --like-except go with --like or --like-file");
        if (like.Requested() && command.mode != ExtractMode::Domains)
            return Refuse("look-alike terms (--like, --like-file) find domain names: use --mode domains");
        if (command.countBy && command.mode != ExtractMode::Domains)
            return Refuse("a count (--count-by) counts the domains of a domain run: use --mode domains");
        if (!command.providerMap.empty() && !command.countBy)
            return Refuse("--provider-map goes with --count-by");
        // A count reads the servers of each domain from its entry.
        if (command.countBy)
            command.filters.appendNameServers = 1;
        if (command.changes != ZoneChanges::None && haveLineLimit && command.filters.lineLimit != 0)
            return Refuse("a comparison reads both zone files whole: --line-limit must be 0 or left out");
        if (command.changes != ZoneChanges::None)
            command.filters.lineLimit = 0;
        if (command.outputDir.empty())
        {
            command.output = paths.back();
            paths.pop_back();
        }
        command.zones = paths;
        command.zone = paths[0];
        if (command.layoutAuto && std::find(paths.begin(), paths.end(), kStandardStreamArgument) != paths.end())
            return Refuse("ZONE - (standard input) cannot be recognised: give its --layout");

        if (command.filters.minChars > command.filters.maxChars)
            parsed.notes.push_back("--min " + std::to_string(command.filters.minChars) + " is larger than --max "
                                   + std::to_string(command.filters.maxChars) + ": no domain name can pass");
        parsed.action = ParsedCommandLine::Action::Run;
        return parsed;
    }

    bool ShowsProgress(const ExtractCommand& command, bool standardErrorIsTerminal, bool standardOutputIsTerminal)
    {
        if (command.quiet)
            return false;
        if (command.progress)
            return true;
        return standardErrorIsTerminal && !(command.OutputIsStandardOutput() && standardOutputIsTerminal);
    }

    std::string UsageText()
    {
        return "usage: plexor2-extract [--layout auto|gtld|se|master]\n"
               "                       [--mode domains|nameservers]\n"
               "                       [--min N] [--max N] [--exclude TEXT] [--include TEXT] [--ns TEXT]\n"
               "                       [--append] [--line-limit N] [--lf] [--progress|--quiet]\n"
               "                       [--like TERMS] [--like-file FILE] [--like-distance N] [--like-except NAMES]\n"
               "                       [--format list|tsv|jsonl] [--jobs N] [--summary FILE]\n"
               "                       [--count-by server|provider] [--provider-map FILE]\n"
               "                       [--new-since OLDER | --dropped-since OLDER] ZONE... OUTPUT\n"
               "       plexor2-extract [options] --output-dir DIR ZONE...\n"
               "       plexor2-extract --help | --version\n";
    }

    std::string HelpText(std::string_view version)
    {
        std::string text = "plexor2-extract " + std::string(version)
                           + ": turns DNS zone files into plain lists of names, one a line.\n\n";
        text += UsageText();
        text +=
            "\n"
            "ZONE is a zone file, plain or gzip-compressed; - reads standard input (with\n"
            "--layout given). A folder stands for every file in it but hidden ones, sorted\n"
            "by name. OUTPUT is created or truncated; - writes the names to standard output\n"
            "(the status line then goes to standard error). A file named - is ./-\n"
            "Without options every domain name of the whole file is written: the layout is\n"
            "recognised, and there is no length bound, no excluded character and no line\n"
            "limit. The desktop program's first-start filters are\n"
            "  --min 5 --max 18 --exclude xyz- --line-limit 2000000\n"
            "\n"
            "Several zones (or a folder) are read side by side, each as a run of its own;\n"
            "OUTPUT holds each zone's names in its own order, zones in the order given, the\n"
            "same bytes whatever --jobs. With --output-dir each zone has an output of its\n"
            "own, named after the zone file without .gz. A zone that cannot be read, or\n"
            "whose layout is not recognised, adds nothing and is reported; the others are\n"
            "still read. At the end, a summary row per zone (file, zone, layout, lines,\n"
            "names, seconds, result) on a terminal, and with --summary as TSV.\n"
            "\n"
            "Layouts (--layout), each with an example line:\n"
            "  auto     (default) each file's layout, told from its first lines\n"
            "  gtld     the .COM, .NET and .EDU zone files\n"
            "             EXAMPLE NS NS1.EXAMPLE.NET.\n"
            "  se       the .SE zone's records of three lines\n"
            "             - Name=example.se\n"
            "  master   standard (RFC 1035) master files, as CZDS delivers them\n"
            "             example.com. 86400 IN NS ns1.example.net.\n"
            "\n"
            "Modes (--mode):\n"
            "  domains      the domain names the zone delegates, filtered\n"
            "  nameservers  the host names of the zone's name servers\n"
            "\n"
            "Options:\n"
            "  --min N          shortest name, in characters (default: no bound)\n"
            "  --max N          longest name, in characters (default: no bound)\n"
            "  --exclude TEXT   characters no name may hold (default: none)\n"
            "  --include TEXT   words, separated by commas, of which a name must hold one\n"
            "  --ns TEXT        name servers, separated by commas, of which a domain must use one\n"
            "  --append         follow each domain name with its name servers\n"
            "  --line-limit N   stop each zone after N lines (default 0: the whole file)\n"
            "  --lf             end output lines with LF alone (default CR LF)\n"
            "  --progress       show the progress line also when standard error is no terminal\n"
            "  --quiet          print nothing but errors (and the line-limit stop)\n"
            "  --new-since OLDER      write only the names of ZONE's list that the list of\n"
            "                         the older zone file OLDER lacks (new names); OLDER\n"
            "                         may be a folder (yesterday's): each zone is compared\n"
            "                         with the older zone of the same origin\n"
            "  --dropped-since OLDER  write only the names of OLDER's list that ZONE's list\n"
            "                         lacks (dropped names)\n"
            "  --output-dir DIR one output per zone in DIR (created when missing)\n"
            "  --jobs N         zones read side by side (default: the number of cores)\n"
            "  --summary FILE   the summary as TSV: file, zone, layout, lines, names,\n"
            "                   seconds, result (ok, line-limit, failed: REASON, no older\n"
            "                   file, older file failed: REASON, only in the older folder)\n"
            "  --like TERMS     write only the domains whose names look like one of the\n"
            "                   terms, separated by commas (a brand, a product, a bank's\n"
            "                   name; paypal.com stands for paypal): typos, homoglyphs\n"
            "                   (paypa1, Cyrillic \xd1\x80\xd0\xb0\xd1\x83\xd1\x80\xd0\xb0l), and combos (paypal-login)\n"
            "  --like-file FILE the terms from a file, one a line (# starts a comment)\n"
            "  --like-distance N  the largest edit distance for every term, 0 to 3\n"
            "                   (default: 0 up to 4 characters, 1 up to 8, 2 beyond)\n"
            "  --like-except NAMES  names, separated by commas, never reported (your own\n"
            "                   domains, ordinary words that hold a term)\n"
            "  --format FORM    list (default: one entry a line), tsv (a header line and\n"
            "                   the columns name, servers, unicode and, with terms, term,\n"
            "                   kind, distance) or jsonl (one JSON object a line); the\n"
            "                   table forms are UTF-8 with LF line ends; over several\n"
            "                   zones a zone column names each entry's zone\n"
            "  --count-by WHAT  instead of the list, a table of the domains per name server\n"
            "                   (server) or per DNS provider (provider: the server's\n"
            "                   registrable domain under the Public Suffix List, so\n"
            "                   ns1.cloudflare.com counts for cloudflare.com): name,\n"
            "                   domains, share, most domains first, in the --format\n"
            "                   form; each domain of the list counts once per server and\n"
            "                   provider. The figures of concentration go to standard\n"
            "                   error after the status line\n"
            "  --provider-map FILE  lines of \"host-pattern provider\" (globs: * ? [a-z])\n"
            "                   joining servers into providers; the first match wins\n"
            "  --help, --version\n"
            "\n"
            "A comparison (--new-since, --dropped-since) reads OLDER like ZONE, with the same\n"
            "layout, mode and filters, and writes each changed name once, in the order of\n"
            "its file's list; with --append the names are compared and each entry carries\n"
            "the servers of its file. Both files are read whole (no line limit). Memory:\n"
            "at most 32 bytes per distinct name of one list (at most 5 GB for .COM).\n"
            "\n"
            "Progress: on a terminal, standard error shows one line, rewritten a few times\n"
            "a second: percent read (of both files in a comparison; omitted for a pipe),\n"
            "lines, names, MB/s, time left.\n"
            "At the end the status line \"[N Lines]  [N Names]\" is printed.\n"
            "\n"
            "Exit codes:\n"
            "  0    every zone file was read whole\n"
            "  1    a file could not be opened, read or written (over several zones: any\n"
            "       zone failed, or an older file failed)\n"
            "  2    usage error (also: a folder without zone files, a zone given twice, an\n"
            "       output inside an input folder)\n"
            "  3    stopped at the line limit (any zone, when none failed)\n"
            "  130  interrupted (SIGINT; Ctrl-C or Ctrl-Break on Windows), 143 terminated\n"
            "       (SIGTERM; a closed console on Windows): the output holds whole lines\n"
            "\n"
            "Examples:\n"
            "  # Every domain name of a zone file, its layout recognised\n"
            "  plexor2-extract com.zone names.txt\n"
            "  # As the desktop program's first start filters them\n"
            "  plexor2-extract --min 5 --max 18 --exclude xyz- --line-limit 2000000 \\\n"
            "      com.zone names.txt\n"
            "  # Every zone of a CZDS pull into one list, on every core, with a summary\n"
            "  plexor2-extract --lf --summary summary.tsv czds/2026-12-10 all.txt\n"
            "  # Each zone's new names since yesterday's pull, one output per zone\n"
            "  plexor2-extract --lf --new-since czds/2026-12-09 --output-dir new \\\n"
            "      czds/2026-12-10\n"
            "  # Today's new .COM domains: yesterday's and today's CZDS files in\n"
            "  plexor2-extract --lf --new-since com-2026-12-09.txt.gz \\\n"
            "      com-2026-12-10.txt.gz new.txt\n"
            "  # A daily brand watch: yesterday's and today's CZDS files in, today's new\n"
            "  # look-alikes of two brands out, as a table with the term and the kind\n"
            "  plexor2-extract --like paypal,amazon --like-except paypal.com,amazon.com --format tsv \\\n"
            "      --new-since com-2026-12-09.txt.gz com-2026-12-10.txt.gz lookalikes.tsv\n"
            "  # The providers of today's new .COM domains, as a table\n"
            "  plexor2-extract --count-by provider --format tsv \\\n"
            "      --new-since com-2026-12-09.txt.gz com-2026-12-10.txt.gz providers.tsv\n"
            "  # Name servers of a zone fetched over the network, through a pipe\n"
            "  curl -sf https://example.net/se.zone.gz |\n"
            "      plexor2-extract --layout se --mode nameservers --lf - - | sort -u\n";
        return text;
    }
}
