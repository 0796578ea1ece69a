#pragma once

#include <string>
#include <string_view>

namespace plexor {

// Turns a compiler date text of the form "Mmm dd yyyy" (the day padded with a
// leading blank, as in "Oct  1 2003") into month.day.year with a two-digit
// month and an unpadded day: "Oct  1 2003" gives "10.1.2003".
std::string ConvertBuildDate(std::string_view compilerDate);

// The date this library was compiled on, converted by ConvertBuildDate.
std::string BuildDateText();

} // namespace plexor
