#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The paths of a list file for `check --files-from`: one per line (a
// trailing carriage return dropped, empty lines skipped), or separated by NUL
// bytes when `nulSeparated` (as `find -print0` writes them, so any name
// fits). "-" reads standard input. Nothing when the file cannot be read;
// `error` then says why.
std::optional<QStringList> ReadPathList(const QString& source, bool nulSeparated, QString& error);
