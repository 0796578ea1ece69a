#pragma once

#include <QIcon>

namespace plexor
{
    // The program's icon in all the sizes the resources hold (16 to 256
    // pixels), for the windows and the application.
    QIcon ProgramIcon();
}
