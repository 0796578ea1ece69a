#pragma once

// A hint for a run that found no names: whether the beginning of the zone
// file plainly belongs to another layout than the one chosen.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
}
