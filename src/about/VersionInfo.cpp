#include "about/VersionInfo.h"

#include "platform/VersionResource.h"

#include <QtEndian>
#include <array>
#include <stdexcept>

namespace {

struct FieldName {
    const char16_t* name;
    QString TEXEVersionData::*field;
};

// The value names queried, in field order. OriginalFileName is asked for with
// a capital N although resources write OriginalFilename: keys match without
// regard to case.
const std::array<FieldName, 12> kFields = {{
    {u"CompanyName", &TEXEVersionData::CompanyName},
    {u"FileDescription", &TEXEVersionData::FileDescription},
    {u"FileVersion", &TEXEVersionData::FileVersion},
    {u"InternalName", &TEXEVersionData::InternalName},
    {u"LegalCopyright", &TEXEVersionData::LegalCopyright},
    {u"LegalTrademarks", &TEXEVersionData::LegalTrademarks},
    {u"OriginalFileName", &TEXEVersionData::OriginalFileName},
    {u"ProductName", &TEXEVersionData::ProductName},
    {u"ProductVersion", &TEXEVersionData::ProductVersion},
    {u"Comments", &TEXEVersionData::Comments},
    {u"PrivateBuild", &TEXEVersionData::PrivateBuild},
    {u"SpecialBuild", &TEXEVersionData::SpecialBuild},
}};

constexpr quint32 kFixedInfoSignature = 0xFEEF04BD;

VersionNode ParseRoot(const QByteArray& block) {
    VersionNode root = ParseVersionNode(block);
    if (root.key != u"VS_VERSION_INFO")
        throw std::runtime_error("not a version block");
    return root;
}

} // namespace

void ReadVersionBlock(const QByteArray& block, TEXEVersionData& data) {
    const VersionNode root = ParseRoot(block);
    const VersionNode* translation = FindVersionNode(root, u"\\VarFileInfo\\Translation\\");
    if (!translation || translation->value.size() < 4)
        throw std::runtime_error("the version information has no translation table");

    // Only the first entry counts: language, then code page.
    const quint16 language = qFromLittleEndian<quint16>(translation->value.constData());
    const quint16 codePage = qFromLittleEndian<quint16>(translation->value.constData() + 2);
    const QString key = QStringLiteral("%1%2")
                            .arg(language, 4, 16, QLatin1Char('0'))
                            .arg(codePage, 4, 16, QLatin1Char('0'));

    // Look every value up first, so that the record is never left half-filled.
    std::array<std::optional<QString>, kFields.size()> found;
    for (size_t i = 0; i < kFields.size(); ++i) {
        const QString path = QStringLiteral("\\StringFileInfo\\%1\\%2")
                                 .arg(key, QString::fromUtf16(kFields[i].name));
        if (const VersionNode* value = FindVersionNode(root, path))
            found[i] = NodeText(*value);
    }
    for (size_t i = 0; i < kFields.size(); ++i) {
        if (found[i])
            data.*kFields[i].field = *found[i];
    }
}

void ReadVersionInfo(const QString& file, TEXEVersionData& data) {
    const QByteArray block = ReadVersionResource(file);
    try {
        ReadVersionBlock(block, data);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(QStringLiteral("Cannot read the version information of \"%1\": %2")
                                     .arg(file, QString::fromUtf8(error.what()))
                                     .toStdString());
    }
}

std::optional<VersionNumbers> FixedFileVersion(const QByteArray& block) {
    try {
        const VersionNode root = ParseRoot(block);
        if (root.value.size() < 16 ||
            qFromLittleEndian<quint32>(root.value.constData()) != kFixedInfoSignature)
            return std::nullopt;
        const quint32 high = qFromLittleEndian<quint32>(root.value.constData() + 8);
        const quint32 low = qFromLittleEndian<quint32>(root.value.constData() + 12);
        return VersionNumbers{quint16(high >> 16), quint16(high & 0xFFFF), quint16(low >> 16),
                              quint16(low & 0xFFFF)};
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

std::optional<VersionNumbers> ReadFixedFileVersion(const QString& file) {
    try {
        return FixedFileVersion(ReadVersionResource(file));
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}
