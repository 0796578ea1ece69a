#pragma once

// A hint for a run that found no names: whether the beginning of the zone
// file plainly belongs to another layout than the one chosen.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace plexor
{
    // The bytes looked at: the beginning of the (decompressed) zone file.
    inline constexpr std::size_t kLayoutHintBytes = 64 * 1024;

    // A note that names the layout to choose when `head` plainly belongs to
    // another layout than `zoneType`; nothing otherwise.
    std::optional<std::string> LayoutHintForText(std::string_view head, std::int32_t zoneType);
    // The same for the first kLayoutHintBytes of a zone file (gzip read
    // through); nothing when the file cannot be read or is not a regular file.
    std::optional<std::string> LayoutHintForFile(const std::filesystem::path& zonePath, std::int32_t zoneType);

    // The beginning of a zone file as its lines are read: up to `maxBytes`
    // bytes of the (decompressed) data, without a line cut short by that
    // bound. `ended` tells that the whole file fits in `text`. `failed`
    // tells that the file could not be opened or read, or that its gzip
    // data is damaged or cut off within those bytes; `error` is then the
    // system's error, or empty for bad data. The text read before a failure
    // is kept.
    struct ZoneFileHead
    {
        std::string text;
        bool ended = false;
        bool failed = false;
        std::error_code error;
    };
    // Reads that head. A path that is not a regular file (a folder, a pipe,
    // a device: it could block or not be read again) fails without being
    // opened, with the system's error for a missing one.
    ZoneFileHead ReadZoneFileHead(const std::filesystem::path& zonePath, std::size_t maxBytes = kLayoutHintBytes);
}
