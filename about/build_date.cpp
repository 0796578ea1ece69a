#include "build_date.h"

#include <algorithm>
#include <array>
#include <utility>

namespace plexor {

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t found = text.find(from, pos);
        if (found == std::string::npos)
            break;
        result.append(text, pos, found - pos);
        result.append(to);
        pos = found + from.size();
    }
    result.append(text, pos, std::string::npos);
    text = std::move(result);
}

} // namespace

std::string ConvertBuildDate(std::string_view compilerDate)
{
    std::string date(compilerDate);
    std::transform(date.begin(), date.end(), date.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });

    // One left-to-right pass, so the padding blank of a one-digit day goes
    // and the day stays unpadded.
    ReplaceAll(date, "  ", " ");
    std::replace(date.begin(), date.end(), ' ', '.');

    static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kMonths{{
        {"jan", "01"}, {"feb", "02"}, {"mar", "03"}, {"apr", "04"},
        {"may", "05"}, {"jun", "06"}, {"jul", "07"}, {"aug", "08"},
        {"sep", "09"}, {"oct", "10"}, {"nov", "11"}, {"dec", "12"},
    }};
    for (const auto& [name, number] : kMonths)
        ReplaceAll(date, name, number);
    return date;
}

std::string BuildDateText()
{
    // __DATE__ is expanded here, in the library, so it is the date this
    // file was compiled for the build, not that of an including file.
    return ConvertBuildDate(__DATE__);
}

} // namespace plexor
