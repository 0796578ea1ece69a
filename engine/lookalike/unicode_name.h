#pragma once

// A name as a reader sees it: every IDN label ("xn--...") that decodes
// replaced by its Unicode text, for the `unicode` column of a table.

#include <string>
#include <string_view>

namespace plexor::lookalike
{
    // The name with every decodable IDN label in Unicode (UTF-8); empty when
    // no label decodes. Labels that are not valid IDN stay as they stand.
    std::string UnicodeName(std::string_view name);
}
