#include "zones/zone_set.h"

#include <algorithm>
#include <deque>
#include <map>
#include <system_error>

#include "scan/path_text.h"

namespace plexor
{
    namespace fs = std::filesystem;

    namespace
    {
        std::string Lower(std::string text)
        {
            for (char& c : text)
            {
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
            }
            return text;
        }

        // The path with links and "." or ".." resolved as far as it exists.
        fs::path Resolved(const fs::path& path)
        {
            std::error_code error;
            fs::path resolved = fs::weakly_canonical(path, error);
            if (error)
                resolved = fs::absolute(path, error).lexically_normal();
            return resolved;
        }

        // Whether `path` is `folder` or lies below it (both resolved).
        bool IsWithin(const fs::path& path, const fs::path& folder)
        {
            auto p = path.begin();
            for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
            {
                if (f->empty())
                    continue; // the empty element after a trailing separator
                if (p == path.end() || *p != *f)
                    return false;
            }
            return true;
        }

        ZoneSet Refuse(ZoneSetError::Kind kind, std::string message)
        {
            ZoneSet set;
            set.error = ZoneSetError {kind, std::move(message)};
            return set;
        }

        ZoneFile FileOf(const fs::path& path)
        {
            ZoneFile zone;
            zone.path = path;
            zone.display = PathText(path);
            std::error_code error;
            const fs::file_status status = fs::status(path, error);
            if (status.type() == fs::file_type::not_found)
                zone.failure = std::make_error_code(std::errc::no_such_file_or_directory).message();
            else if (error)
                zone.failure = error.message();
            return zone;
        }

        // The first zone given twice, through any path or link.
        std::optional<std::string> FindTwice(const std::vector<ZoneFile>& zones)
        {
            // Only files of the same size can be the same file.
            std::map<std::uintmax_t, std::vector<std::size_t>> bySize;
            for (std::size_t i = 0; i < zones.size(); ++i)
            {
                std::error_code error;
                const std::uintmax_t size = fs::file_size(zones[i].path, error);
                if (!error && zones[i].failure.empty())
                    bySize[size].push_back(i);
            }
            std::optional<std::pair<std::size_t, std::size_t>> first;
            for (const auto& [size, group] : bySize)
            {
                for (std::size_t a = 0; a < group.size(); ++a)
                {
                    for (std::size_t b = a + 1; b < group.size(); ++b)
                    {
                        std::error_code error;
                        if (fs::equivalent(zones[group[a]].path, zones[group[b]].path, error)
                            && (!first || group[b] < first->second))
                            first = std::pair(group[a], group[b]);
                    }
                }
            }
            if (!first)
                return std::nullopt;
            return "the zone " + zones[first->first].display + " is given twice (also as "
                + zones[first->second].display + ")";
        }

        std::optional<std::string> CheckOutputFile(const fs::path& output, const std::vector<ZoneFile>& zones,
                                                   const std::vector<fs::path>& folders)
        {
            const fs::path resolved = Resolved(output);
            for (const ZoneFile& zone : zones)
            {
                std::error_code error;
                if (fs::equivalent(output, zone.path, error) || resolved == Resolved(zone.path))
                    return "the output " + PathText(output) + " is the zone " + zone.display;
            }
            for (const fs::path& folder : folders)
            {
                if (IsWithin(resolved.parent_path(), folder))
                    return "the output " + PathText(output) + " is inside the zone folder " + PathText(folder);
            }
            return std::nullopt;
        }

        std::optional<std::string> CheckOutputFolder(const fs::path& output, const std::vector<ZoneFile>& zones,
                                                     const std::vector<fs::path>& folders)
        {
            const fs::path resolved = Resolved(output);
            for (const fs::path& folder : folders)
            {
                if (IsWithin(resolved, folder))
                    return "the output folder " + PathText(output) + " is inside the zone folder " + PathText(folder);
            }
            std::map<std::string, const ZoneFile*> names;
            for (const ZoneFile& zone : zones)
            {
                if (resolved == Resolved(zone.path).parent_path())
                    return "the output folder " + PathText(output) + " holds the zone " + zone.display;
                // Any case: Windows and macOS folders do not tell names
                // apart by case.
                const auto [at, added] = names.emplace(Lower(PathText(OutputNameFor(zone.path))), &zone);
                if (!added)
                    return "the zones " + at->second->display + " and " + zone.display
                        + " would write the same output " + PathText(OutputNameFor(zone.path));
            }
            return std::nullopt;
        }
    }

    int ExitCodeOf(const ZoneSetError& error) { return error.kind == ZoneSetError::Kind::Usage ? 2 : 1; }

    ZoneSet ListZoneFolder(const fs::path& folder)
    {
        std::error_code error;
        fs::directory_iterator entries(folder, error);
        if (error)
            return Refuse(ZoneSetError::Kind::FileSystem,
                          "the folder " + PathText(folder) + " cannot be listed: " + error.message());
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : entries)
        {
            const std::u8string name = entry.path().filename().u8string();
            std::error_code typeError;
            if (!name.empty() && name[0] != u8'.' && entry.is_regular_file(typeError))
                files.push_back(entry.path());
        }
        if (files.empty())
            return Refuse(ZoneSetError::Kind::Usage, "the folder " + PathText(folder) + " holds no zone file");
        std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
            return a.filename().u8string() < b.filename().u8string();
        });
        ZoneSet set;
        for (const fs::path& file : files)
            set.zones.push_back(FileOf(file));
        return set;
    }

    ZoneSet BuildZoneSet(const std::vector<fs::path>& arguments, const ZoneOutputTarget& output)
    {
        using Kind = ZoneSetError::Kind;
        if (arguments.empty())
            return Refuse(Kind::Usage, "no zone file given");
        const bool standardInput = std::any_of(arguments.begin(), arguments.end(), [](const fs::path& p) { return p == "-"; });
        if (standardInput && arguments.size() > 1)
            return Refuse(Kind::Usage, "- (standard input) must be the only zone");
        if (standardInput && !output.folder.empty())
            return Refuse(Kind::Usage, "- (standard input) needs an output file, not an output folder");
        if (standardInput)
            return ZoneSet {{ZoneFile {"-", "-", true, {}}}, std::nullopt};

        ZoneSet set;
        std::vector<fs::path> folders; // resolved
        for (const fs::path& argument : arguments)
        {
            std::error_code error;
            if (!fs::is_directory(argument, error))
            {
                set.zones.push_back(FileOf(argument));
                continue;
            }
            ZoneSet listed = ListZoneFolder(argument);
            if (listed.error)
                return listed;
            folders.push_back(Resolved(argument));
            set.zones.insert(set.zones.end(), listed.zones.begin(), listed.zones.end());
        }
        std::optional<std::string> usage = FindTwice(set.zones);
        if (!usage && !output.file.empty() && output.file != "-")
            usage = CheckOutputFile(output.file, set.zones, folders);
        if (!usage && !output.folder.empty())
            usage = CheckOutputFolder(output.folder, set.zones, folders);
        if (usage)
            return Refuse(Kind::Usage, *usage);
        if (!output.folder.empty())
        {
            std::error_code error;
            fs::create_directories(output.folder, error);
            if (error || !fs::is_directory(output.folder))
                return Refuse(Kind::FileSystem, "the output folder " + PathText(output.folder) + " cannot be created: "
                                                    + (error ? error.message() : "it is not a folder"));
        }
        return set;
    }

    fs::path OutputNameFor(const fs::path& zone)
    {
        std::u8string name = zone.filename().u8string();
        if (name.size() >= 3 && Lower(PathText(fs::path(name.substr(name.size() - 3)))) == ".gz")
            name.resize(name.size() - 3);
        if (name.empty())
            name = u8"zone";
        return fs::path(name);
    }

    fs::path PartialOutputPath(const fs::path& finalPath)
    {
        return finalPath.parent_path() / (u8"." + finalPath.filename().u8string() + u8".part");
    }

    std::error_code CommitOutput(const fs::path& partialPath, const fs::path& finalPath)
    {
        std::error_code error;
        fs::rename(partialPath, finalPath, error);
        if (error && fs::exists(finalPath))
        {
            // Where a rename does not replace a file (some Windows runtimes).
            std::error_code ignored;
            fs::remove(finalPath, ignored);
            error.clear();
            fs::rename(partialPath, finalPath, error);
        }
        return error;
    }

    std::string ZoneKey(const std::optional<std::string>& origin, const fs::path& zone)
    {
        if (origin)
            return Lower(*origin);
        std::string name = Lower(PathText(zone.filename()));
        for (const std::string_view suffix : {".gz", ".zone", ".txt"})
        {
            if (name.size() > suffix.size() && name.ends_with(suffix))
            {
                name.resize(name.size() - suffix.size());
                if (suffix != ".gz")
                    break;
            }
        }
        return name;
    }

    ZonePairing PairZones(const std::vector<std::string>& todayKeys, const std::vector<std::string>& olderKeys)
    {
        std::map<std::string, std::deque<std::size_t>> older;
        for (std::size_t i = 0; i < olderKeys.size(); ++i)
            older[olderKeys[i]].push_back(i);
        ZonePairing pairing;
        std::vector<bool> taken(olderKeys.size(), false);
        for (const std::string& key : todayKeys)
        {
            std::optional<std::size_t> partner;
            const auto found = older.find(key);
            if (found != older.end() && !found->second.empty())
            {
                partner = found->second.front();
                found->second.pop_front();
                taken[*partner] = true;
            }
            pairing.older.push_back(partner);
        }
        for (std::size_t i = 0; i < taken.size(); ++i)
        {
            if (!taken[i])
                pairing.onlyOlder.push_back(i);
        }
        return pairing;
    }
}
