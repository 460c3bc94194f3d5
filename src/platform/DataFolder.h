#pragma once

#include <QString>

// True when a new file "chk.tmp" can be created exclusively in `folder` (it is
// removed again at once). A leftover chk.tmp makes the folder count as not
// writable, like a read-only one.
bool IsFolderWritable(const QString& folder);

// The user's data folder (XDG_DATA_HOME, normally ~/.local/share), without a
// trailing separator.
QString UserDataFolder();

// The folder for the program's own files, ending in a separator: the
// executable's folder when it is writable, else userData/company/product/
// (created on the way; failures there are not reported).
QString ChooseDataFolder(const QString& executableFolder, const QString& userDataFolder,
                         const QString& companyName, const QString& productName);
