#pragma once

// The arguments of plexor2-extract as the program works with them: UTF-8
// text, and file paths made from that text. On Windows, main's `char`
// arguments are in the ANSI code page, where a name such as "зона.zone"
// cannot be written on a Western-European system; the program takes its
// arguments as UTF-16 (wmain) instead and turns them into UTF-8 here.

#include <filesystem>
#include <string>
#include <string_view>

namespace plexor
{
    // UTF-16 to UTF-8. A surrogate without its partner (which a Windows file
    // name may hold) becomes U+FFFD.
    std::string Utf8FromUtf16(std::u16string_view text);

    // The path an argument names. On Windows the argument is UTF-8 (see
    // above); elsewhere its bytes are the file name's bytes as they are.
    std::filesystem::path PathFromArgument(std::string_view argument);
}
