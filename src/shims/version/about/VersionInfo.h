#pragma once
// Temporary stand-in; see src/shims/README.md.
#include <QString>

struct TEXEVersionData {
    QString CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
        LegalTrademarks, OriginalFileName, ProductName, ProductVersion, Comments, PrivateBuild,
        SpecialBuild;
};

void ReadVersionInfo(const QString& file, TEXEVersionData& data);
