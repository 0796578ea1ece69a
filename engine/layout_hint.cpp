#include "layout_hint.h"

namespace plexor
{
    std::optional<std::string> LayoutHintForText(std::string_view, std::int32_t)
    {
        return std::nullopt;
    }

    std::optional<std::string> LayoutHintForFile(const std::filesystem::path&, std::int32_t)
    {
        return std::nullopt;
    }
}
