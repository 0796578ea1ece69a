#pragma once

// Conversions between the dialog's path texts and the file system.

#include <filesystem>

#include <QString>

namespace plexor
{
    // The file-system path for a path text as the dialog shows it.
    std::filesystem::path ToFilesystemPath(const QString& path);

    // True when both texts name the same existing file, also through links
    // or different spellings of the same folder.
    bool RefersToSameFile(const QString& first, const QString& second);

    // True for a folder in the system's virtual file systems (/proc, /sys,
    // /dev, also reached through a link), where a file dialog may hang
    // reading a file that never ends; never true on Windows.
    bool IsInSystemFolder(const QString& folder);
}
