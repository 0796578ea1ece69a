#pragma once

// A file path as the UTF-8 bytes that messages and display paths show.

#include <filesystem>
#include <string>

namespace plexor
{
    inline std::string PathText(const std::filesystem::path& path)
    {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }
}
