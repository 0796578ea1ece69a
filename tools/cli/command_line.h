#pragma once

// The command line of plexor2-extract: what it asks for, read from the
// arguments, and the texts of --help and of a usage error.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "count/count_table.h"
#include "extraction/batch.h"
#include "extraction/extraction_state.h"
#include "output/entry_rows.h"
#include "run/run_setup.h"

namespace plexor
{
    // Standard input as ZONE, standard output as OUTPUT.
    inline constexpr std::string_view kStandardStreamArgument = "-";

    // The watched terms of a look-alike run, as given: --like TERMS (commas
    // between terms), --like-file FILE (one a line), --like-distance N (the
    // largest distance for every term; automatic when not given) and
    // --like-except NAMES.
    struct LookalikeRequest
    {
        std::string termsText;
        bool haveTermsText = false;
        std::string termsFile;
        std::optional<int> distance;
        std::string exceptText;

        bool Requested() const { return haveTermsText || !termsFile.empty(); }
    };

    struct ExtractCommand
    {
        // The layout given with --layout; without it (or with --layout
        // auto) each zone file's layout is recognised.
        ZoneType layout = ZoneType::Gtld;
        bool layoutAuto = true;
        ExtractMode mode = ExtractMode::Domains;
        // Without filter options: no length bound, no excluded character,
        // no line limit (the window's first-start values are --min 5
        // --max 18 --exclude xyz- --line-limit 2000000).
        RunFilters filters;
        LineEnd lineEnd = LineEnd::CrLf;
        bool progress = false; // --progress: show it also when stderr is no terminal
        bool quiet = false;    // --quiet: errors only
        // ZONE... as given (a folder stands for its zone files), and OUTPUT
        // (empty with --output-dir). `zone` is the first ZONE.
        std::vector<std::string> zones;
        std::string zone;
        std::string output;
        // --output-dir DIR: one output per zone.
        std::string outputDir;
        // --jobs N: zones read side by side; 0 means the number of cores.
        unsigned jobs = 0;
        // --summary FILE: the summary of a run over many zones as TSV.
        std::string summaryFile;
        // --new-since OLDER / --dropped-since OLDER: a comparison with the
        // older zone file, a named file.
        ZoneChanges changes = ZoneChanges::None;
        std::string olderZone;
        LookalikeRequest lookalike;
        // --format list|tsv|jsonl
        OutputForm form = OutputForm::List;
        // --count-by server|provider: the table of domains per server or
        // provider instead of the list; --provider-map FILE joins servers
        // into providers.
        std::optional<CountBy> countBy;
        std::string providerMap;
        bool ZoneIsStandardInput() const { return zone == kStandardStreamArgument; }
        bool OutputIsStandardOutput() const { return output == kStandardStreamArgument; }
        // Anything beyond one zone file into one output: several zones (or
        // a folder, which only the file system tells), an output folder or a
        // summary file.
        bool ManyZonesAsked() const { return zones.size() > 1 || !outputDir.empty() || !summaryFile.empty(); }
    };

    struct ParsedCommandLine
    {
        enum class Action
        {
            Run,
            Help,
            Version,
            UsageError
        };
        Action action = Action::UsageError;
        ExtractCommand command;
        // Why the arguments were refused (Action::UsageError).
        std::string error;
        // Warnings about arguments that are allowed but probably not meant.
        std::vector<std::string> notes;
    };

    // Reads the arguments after the program name. Nothing is opened.
    ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& arguments);

    // Whether the progress line is shown: with --progress; without it when
    // standard error is a terminal, unless the names go to standard output
    // on a terminal too, where the line would run through them; never with
    // --quiet.
    bool ShowsProgress(const ExtractCommand& command, bool standardErrorIsTerminal, bool standardOutputIsTerminal);

    std::string UsageText();
    std::string HelpText(std::string_view version);
}
