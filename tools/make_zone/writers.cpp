#include "writers.h"

namespace make_zone
{
    int WriteZoneFile(const std::string& path, const std::function<void(std::FILE*)>& write)
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr)
        {
            std::fprintf(stderr, "make_zone: cannot create '%s'\n", path.c_str());
            return 1;
        }
        write(file);
        const bool ok = !std::ferror(file);
        if (std::fclose(file) != 0 || !ok)
        {
            std::fprintf(stderr, "make_zone: cannot write '%s'\n", path.c_str());
            return 1;
        }
        return 0;
    }
}
