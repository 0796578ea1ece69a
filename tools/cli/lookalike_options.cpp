#include "cli/lookalike_options.h"

#ifdef PLEXOR_HAVE_LOOKALIKE
#include "lookalike/matcher.h"
#include "lookalike/terms.h"
#include "lookalike/watch_list.h"
#include "cli/program_arguments.h"
#endif

namespace plexor
{
#ifdef PLEXOR_HAVE_LOOKALIKE
    LookalikeSetup MakeLookalikeMatcher(const LookalikeRequest& request)
    {
        LookalikeSetup setup;
        if (!request.Requested())
            return setup;
        lookalike::LookalikeSettings settings;
        if (request.haveTermsText)
        {
            lookalike::TermList list = lookalike::ParseTermList(request.termsText);
            if (!list.error.empty())
            {
                setup.error = list.error;
                return setup;
            }
            settings.terms = std::move(list.terms);
        }
        if (!request.termsFile.empty())
        {
            lookalike::TermList list = lookalike::ReadTermFile(PathFromArgument(request.termsFile));
            if (!list.error.empty())
            {
                setup.error = list.error;
                return setup;
            }
            settings.terms.insert(settings.terms.end(), list.terms.begin(), list.terms.end());
        }
        settings.maxDistance = request.distance.value_or(lookalike::kAutomaticDistance);
        settings.exceptions = lookalike::ParseExceptionList(request.exceptText);
        std::string error;
        std::unique_ptr<lookalike::Matcher> matcher = lookalike::Matcher::Create(settings, error);
        if (matcher == nullptr)
        {
            setup.error = error.empty() ? "The look-alike terms cannot be used." : error;
            return setup;
        }
        setup.matcher = std::move(matcher);
        return setup;
    }
#else
    LookalikeSetup MakeLookalikeMatcher(const LookalikeRequest& request)
    {
        LookalikeSetup setup;
        if (request.Requested())
            setup.error = "This build has no look-alike matching (--like, --like-file).";
        return setup;
    }
#endif
}
