#include "run/run_setup.h"

#include "extraction/extraction_state.h"
#include "extraction/ser_string_array.h"

namespace plexor
{
    std::vector<std::string> BuildNameServerList(std::string_view nameServerText)
    {
        CSerStringArray list;
        list.LoadDelimited(ToUpperAscii(nameServerText), ",");
        return list.Entries();
    }

    void PrepareRun(const RunFilters& filters)
    {
        ResetRunState();
        ApplyFilterSettings(filters.maxChars, filters.minChars, filters.excludedChars, filters.includeWordsText,
                            filters.appendNameServers);
        SetNameServerList(BuildNameServerList(filters.nameServerText));
        ExtractionSettings& settings = CurrentSettings();
        settings.lineLimit = filters.lineLimit;
        settings.lookalike = filters.lookalike;
    }
}
