#pragma once

// The zone files of a run over many zones: which files, in which order,
// where each one's output goes, and which older zone each is compared with.
//
// From the positional arguments: a folder stands for every regular file in
// it whose name does not start with "." (not its subfolders), sorted by
// name bytewise; files keep the order given; "-" is standard input and may
// only stand alone.
//
// What stops the run, before any zone is read:
//  - usage errors (exit 2): no zone; "-" beside other zones, or with an
//    output folder; a folder with no zone file in it; the same zone twice
//    (also through another path or a link); the output file equal to a zone
//    or inside an input folder; the output folder inside an input folder or
//    equal to a zone's folder; two zones that would write the same output
//    name in the output folder;
//  - file-system errors (exit 1): an input folder that cannot be listed; an
//    output folder that cannot be created (with the system's reason).
// A zone path that does not exist stops nothing: it stays in the list with
// `failure` set ("No such file or directory") and becomes a failed row of
// the summary, so one missing zone of many does not cost the others.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plexor
{
    struct ZoneFile
    {
        std::filesystem::path path;
        // The path as UTF-8 text, for the summary's file column.
        std::string display;
        bool standardInput = false;
        // Why the zone cannot be read, known before the run; empty when
        // nothing is known against it.
        std::string failure;
    };

    struct ZoneSetError
    {
        enum class Kind
        {
            Usage,     // exit 2
            FileSystem // exit 1
        };
        Kind kind = Kind::Usage;
        std::string message;
    };
    int ExitCodeOf(const ZoneSetError& error);

    // Where the outputs go: one combined file (or "-", standard output), or
    // one file per zone in a folder.
    struct ZoneOutputTarget
    {
        std::filesystem::path file;
        std::filesystem::path folder;
    };

    struct ZoneSet
    {
        std::vector<ZoneFile> zones;
        std::optional<ZoneSetError> error;
    };

    // The zones of `arguments`, checked against `output`. With an output
    // folder, creates it (and its parents) when all else is sound.
    ZoneSet BuildZoneSet(const std::vector<std::filesystem::path>& arguments, const ZoneOutputTarget& output);

    // The zone files of a folder, as an argument stands for them; an error
    // when it cannot be listed or holds none.
    ZoneSet ListZoneFolder(const std::filesystem::path& folder);

    // The name of a zone's output in the output folder: its file name
    // without a final ".gz" (any case), so com.zone.gz gives com.zone and
    // com.txt.gz com.txt; a name that would be empty gives "zone".
    std::filesystem::path OutputNameFor(const std::filesystem::path& zone);
    // Where that output is written first, in the same folder under a hidden
    // name (a later run over the folder passes it over); renamed to its name
    // by CommitOutput when the zone's run has succeeded.
    std::filesystem::path PartialOutputPath(const std::filesystem::path& finalPath);
    std::error_code CommitOutput(const std::filesystem::path& partialPath, const std::filesystem::path& finalPath);

    // The name a zone is paired by: its origin when the file names it (see
    // ZoneOrigin), otherwise its file name, lower case, without a final
    // ".gz" and then without one final ".zone" or ".txt"; so com.zone.gz and
    // a file whose SOA is "com." pair.
    std::string ZoneKey(const std::optional<std::string>& origin, const std::filesystem::path& zone);

    // Today's zones paired with the older folder's, by key. The k-th of
    // today's zones with a key gets the k-th older zone with that key.
    struct ZonePairing
    {
        // For each of today's zones, the index of its older zone.
        std::vector<std::optional<std::size_t>> older;
        // The older zones no zone of today's has taken, in their order.
        std::vector<std::size_t> onlyOlder;
    };
    ZonePairing PairZones(const std::vector<std::string>& todayKeys, const std::vector<std::string>& olderKeys);
}
