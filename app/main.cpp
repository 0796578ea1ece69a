#include "extractor_app.h"

int main(int argc, char* argv[])
{
    plexor::ExtractorApp app(argc, argv);
    return app.Run();
}
