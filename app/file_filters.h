#pragma once

// Helpers of the remembered-folder file dialog: the dialog's filter texts and
// the location it remembers per default extension.

#include <QString>
#include <QStringList>

namespace plexor
{
    // Turns a filter text of alternating display names and patterns, cut at
    // each "|" and closed by an empty pair ("Zone Files (*.zone)|*.zone|...||")
    // into Qt name filters ("Zone Files (*.zone)"). Blanks around names and
    // patterns are dropped, several patterns of one entry (";"-separated)
    // are joined, and "*.*" becomes "*" so that it also matches files
    // without a dot outside Windows.
    QStringList NameFiltersFromPairs(const QString& filterText);

    // The location to remember for a chosen file: its folder up to and
    // including the last native separator, then "*." and the extension
    // ("/data/zones/*.zone"). Empty when the path holds no separator.
    QString RememberedLocationFor(const QString& nativePath, const QString& defaultExtension);

    // A remembered location split into the folder the file dialog opens in
    // and the file name (or pattern) it starts with.
    struct InitialLocation
    {
        QString directory;
        QString fileName;
    };
    InitialLocation SplitRememberedLocation(const QString& location);
}
