#pragma once

#include "about/VersionBlock.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The twelve standard string values of an executable's version information.
struct TEXEVersionData {
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString LegalTrademarks;
    QString OriginalFileName;
    QString ProductName;
    QString ProductVersion;
    QString Comments;
    QString PrivateBuild;
    QString SpecialBuild;
};

// Fills `data` from the version information of `file`, looked up in the string
// table of the first translation the file declares. Values the table lacks
// leave their fields as they were. Throws std::runtime_error naming the file
// when it cannot be read or has no usable version information; then no field
// has been touched.
void ReadVersionInfo(const QString& file, TEXEVersionData& data);

// The same over a version block already in memory (the bytes of a
// VS_VERSION_INFO tree). Throws std::runtime_error for a malformed block or one
// without a translation table, before any field is set.
void ReadVersionBlock(const QByteArray& block, TEXEVersionData& data);

// The fixed file version of a block or of an executable; nullopt when there is
// none to read.
std::optional<VersionNumbers> FixedFileVersion(const QByteArray& block);
std::optional<VersionNumbers> ReadFixedFileVersion(const QString& file);
