#pragma once

// Ids of the main dialog's controls. Every control that has an id carries the
// object name "control<id>" (see ControlObjectName), so the field exchange
// and the tests find it by id.

#include <QString>

namespace plexor::control_id
{
    inline constexpr int kCloseButton = 2;
    inline constexpr int kAboutButton = 3;
    inline constexpr int kOpenZoneButton = 1000;
    inline constexpr int kMinCharsEdit = 1001;
    inline constexpr int kMinCharsArrows = 1002;
    inline constexpr int kMaxCharsEdit = 1003;
    inline constexpr int kMaxCharsArrows = 1004;
    inline constexpr int kExcludeCharsEdit = 1005;
    inline constexpr int kIncludeWordsEdit = 1006;
    inline constexpr int kNameServersEdit = 1007;
    inline constexpr int kExtractDomainsButton = 1008;
    inline constexpr int kExtractNameServersButton = 1009;
    inline constexpr int kPauseButton = 1010;
    inline constexpr int kAbortButton = 1011;
    inline constexpr int kViewOutputButton = 1012;
    inline constexpr int kStatusLine = 1013;
    inline constexpr int kZoneFileName = 1015;
    inline constexpr int kAppendNameServersCheck = 1016;
    inline constexpr int kZoneTypeCombo = 1017;
    // The comparison row: on/off, what it writes, the older zone file.
    inline constexpr int kCompareCheck = 1018;
    inline constexpr int kChangesCombo = 1019;
    inline constexpr int kOpenOlderZoneButton = 1020;
    inline constexpr int kOlderZoneFileName = 1021;
    // The look-alike row: the watched terms, the distance, the names never
    // written, and the form of the output.
    inline constexpr int kLookalikeTermsEdit = 1022;
    inline constexpr int kLookalikeDistanceCombo = 1023;
    inline constexpr int kLookalikeExceptionsEdit = 1024;
    inline constexpr int kOutputFormCombo = 1025;
    // The count row: by server or by provider, the provider map, and the
    // button that starts a count.
    inline constexpr int kCountByCombo = 1026;
    inline constexpr int kProviderMapEdit = 1027;
    inline constexpr int kOpenProviderMapButton = 1028;
    inline constexpr int kCountServersButton = 1029;
    // Open Folder: a folder stands for its zone files.
    inline constexpr int kOpenFolderButton = 1030;

    // Command id of the About entry in the window's system menu.
    inline constexpr unsigned kAboutSystemCommand = 16;
    // Command id of the Line Limit entry in the window's system menu.
    inline constexpr unsigned kLineLimitSystemCommand = 32;
}

namespace plexor
{
    inline QString ControlObjectName(int id)
    {
        return QStringLiteral("control%1").arg(id);
    }
}
