#include <cstdio>
#include <optional>
#include <string>

#include "display_check.h"
#include "extractor_app.h"

int main(int argc, char* argv[])
{
    // Without a display Qt cannot show the window; say so rather than let
    // the application object abort.
    if (const std::optional<std::string> problem = plexor::CheckDisplayEnvironment())
    {
        std::fputs(problem->c_str(), stderr);
        return plexor::kNoDisplayExitCode;
    }
    std::optional<plexor::ExtractorApp> app;
    {
        const plexor::PlatformStartGuard guard;
        app.emplace(argc, argv);
    }
    return app->Run();
}
