#pragma once

// What Open Zone and Open Folder chose: one zone file, several, or a folder
// that stands for its zone files (as the command line lists a folder: every
// regular file in it whose name does not start with ".", sorted by name).
// How the zone path shows the choice, and how it is kept in the settings.

#include <QString>
#include <QStringList>

namespace plexor
{
    class SettingsStore;

    struct ZoneChoice
    {
        // The chosen files, native paths; for a folder, its zone files as
        // they were listed when it was chosen or the window opened.
        QStringList files;
        // The chosen folder, native path; empty unless a folder was chosen.
        QString folder;

        // More than one zone file, or a folder: the run reads a list.
        bool IsList() const { return !folder.isEmpty() || files.size() > 1; }
    };

    // The zone path's text: a single file's path as it is; otherwise
    // "N zone files in FOLDER" ("1 zone file in FOLDER"), or "N zone files"
    // when the files lie in different folders.
    QString ZoneChoiceText(const ZoneChoice& choice);

    // The zone files of a folder, sorted as a run lists them, native
    // paths; `error` is set (and nothing returned) when it cannot be listed
    // or holds none.
    QStringList ListZoneFolderFiles(const QString& folder, QString& error);

    // The stored choice. "Zone File Name" decides: the stored list counts
    // only when its first file is that one, and the folder only when that
    // file lies in it, so a value written by a program that keeps the one
    // file alone never brings back a stale list.
    ZoneChoice ReadZoneChoice(const SettingsStore& store);
    // Stores the choice: "Zone File Name" (the one file, or the first),
    // "Zone File Names" (several files) and "Zone Folder".
    void WriteZoneChoice(SettingsStore& store, const ZoneChoice& choice);
}
