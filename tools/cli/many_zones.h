#pragma once

// plexor2-extract over many zone files: the ZONE arguments (folders stand for
// their zone files) read side by side (RunZones), into one combined OUTPUT or
// one output per zone in --output-dir, with a summary row per zone: a table
// on a terminal, TSV with --summary.

#include <string>

#include "cli/command_line.h"

namespace plexor
{
    // Whether the command asks for a run over many zones: several ZONEs, a
    // folder among them or as the older side, an output folder or a summary.
    bool IsManyZonesCommand(const ExtractCommand& command);

    // Carries that run and returns the exit code: 0 when every zone was
    // read whole, 3 when any stopped at the line limit, 1 when any failed
    // (or the output or summary could not be written), 2 for a usage error
    // found in the file system (a folder without zones, a zone given twice,
    // an output inside an input folder), 130/143 when stopped by a signal.
    int RunManyZones(const ExtractCommand& command, bool standardErrorIsTerminal, bool standardOutputIsTerminal);
}
