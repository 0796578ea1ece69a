#pragma once

// What the main dialog tells the user once a run has ended: one message that
// holds the failure that ended the run and every note that applies, so that a
// run never leaves a pile of message boxes behind.

#include <cstdint>
#include <optional>
#include <string>

#include <QString>

namespace plexor
{
    // The facts of an ended run that may need telling.
    struct RunOutcome
    {
        // The read or write failure that ended the run.
        std::optional<QString> failure;
        // The run ended at the line limit while the zone file had more lines.
        bool stoppedAtLineLimit = false;
        // The limit the run had (0: none).
        std::uint64_t lineLimit = 0;
        // Records of a master file that could not be read as records.
        std::uint64_t unreadableRecords = 0;
        // A comparison was aborted: its output is not the complete answer.
        bool comparisonAborted = false;
        // For a run that found no names: a note that names the layout to
        // choose.
        std::optional<std::string> layoutHint;
    };

    // The run stopped at the line limit, the output holds the names found up
    // to there, and how to change the limit.
    QString LineLimitNote(std::uint64_t lineLimit);
    // How many records of the zone file could not be read and were skipped.
    QString UnreadableRecordsNote(std::uint64_t count);
    // The failure first, then the notes that apply, separated by blank lines;
    // empty when there is nothing to tell (a clean run).
    QString EndOfRunMessage(const RunOutcome& outcome);
}
