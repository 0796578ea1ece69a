#include "program_icon.h"

#include <array>

#include <QString>

// The resources live in a static library, so they are registered
// explicitly; Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterProgramResources()
{
    Q_INIT_RESOURCE(plexor_app);
}

namespace plexor
{
    QIcon ProgramIcon()
    {
        static const bool registered = (RegisterProgramResources(), true);
        Q_UNUSED(registered);

        constexpr std::array kSizes {16, 24, 32, 48, 64, 128, 256};
        QIcon icon;
        for (int size : kSizes)
            icon.addFile(QStringLiteral(":/icons/plexor2-%1.png").arg(size), QSize(size, size));
        return icon;
    }
}
