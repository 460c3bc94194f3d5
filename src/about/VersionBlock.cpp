#include "about/VersionBlock.h"

#include <QtEndian>
#include <stdexcept>

namespace {

constexpr quint32 kFixedInfoSignature = 0xFEEF04BD;
constexpr quint32 kFixedInfoStructVersion = 0x00010000;
constexpr quint32 kFileFlagsMask = 0x3F;
constexpr quint32 kFileOsWindows32 = 0x00040004;
constexpr quint32 kFileTypeApplication = 1;
constexpr qsizetype kHeaderSize = 6;
// A block's lengths are 16-bit, so nothing real nests deeper than this.
constexpr int kMaxDepth = 16;

qsizetype Align4(qsizetype offset) {
    return (offset + 3) & ~qsizetype(3);
}

void AppendU16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void AppendU32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void PadTo4(QByteArray& out) {
    out.append(Align4(out.size()) - out.size(), '\0');
}

QByteArray Utf16WithTerminator(const QString& text) {
    QByteArray out;
    for (const QChar c : text)
        AppendU16(out, c.unicode());
    AppendU16(out, 0);
    return out;
}

quint16 ReadU16(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

[[noreturn]] void Malformed(const char* what) {
    throw std::runtime_error(std::string("malformed version block: ") + what);
}

// Parses the node at `offset`, which must end by `limit`; returns it and sets
// `end` to the first byte after it.
VersionNode ParseAt(const QByteArray& bytes, qsizetype offset, qsizetype limit, int depth,
                    qsizetype& end) {
    if (depth > kMaxDepth)
        Malformed("nested too deeply");
    if (offset + kHeaderSize > limit)
        Malformed("node header cut off");
    const quint16 length = ReadU16(bytes, offset);
    const quint16 valueLength = ReadU16(bytes, offset + 2);
    const quint16 type = ReadU16(bytes, offset + 4);
    if (length < kHeaderSize + 2 || offset + length > limit)
        Malformed("node length out of range");
    if (type > 1)
        Malformed("unknown node type");
    const qsizetype nodeEnd = offset + length;

    VersionNode node;
    node.isText = type == 1;
    qsizetype pos = offset + kHeaderSize;
    for (;; pos += 2) {
        if (pos + 2 > nodeEnd)
            Malformed("key not terminated");
        const quint16 unit = ReadU16(bytes, pos);
        if (unit == 0)
            break;
        node.key.append(QChar(unit));
    }
    pos = Align4(pos + 2);

    // Text lengths count UTF-16 units; some writers count bytes instead, so a
    // text value running past its node is cut at the node's end.
    qsizetype valueBytes = node.isText ? qsizetype(valueLength) * 2 : valueLength;
    if (pos + valueBytes > nodeEnd) {
        if (!node.isText)
            Malformed("value runs past its node");
        valueBytes = qMax<qsizetype>(0, nodeEnd - pos);
    }
    if (valueBytes > 0)
        node.value = bytes.mid(pos, valueBytes);
    pos = Align4(pos + valueBytes);

    // Fewer bytes than a header before the node's end are padding.
    while (pos + kHeaderSize <= nodeEnd) {
        qsizetype childEnd = 0;
        node.children.append(ParseAt(bytes, pos, nodeEnd, depth + 1, childEnd));
        pos = Align4(childEnd);
    }
    end = nodeEnd;
    return node;
}

} // namespace

VersionNode TextNode(const QString& key, const QString& text) {
    VersionNode node;
    node.key = key;
    node.isText = true;
    node.value = Utf16WithTerminator(text);
    return node;
}

VersionNode BinaryNode(const QString& key, const QByteArray& value,
                       const QList<VersionNode>& children) {
    VersionNode node;
    node.key = key;
    node.value = value;
    node.children = children;
    return node;
}

QByteArray FixedFileInfoBytes(const VersionNumbers& fileVersion,
                              const VersionNumbers& productVersion) {
    QByteArray out;
    AppendU32(out, kFixedInfoSignature);
    AppendU32(out, kFixedInfoStructVersion);
    AppendU32(out, (quint32(fileVersion[0]) << 16) | fileVersion[1]);
    AppendU32(out, (quint32(fileVersion[2]) << 16) | fileVersion[3]);
    AppendU32(out, (quint32(productVersion[0]) << 16) | productVersion[1]);
    AppendU32(out, (quint32(productVersion[2]) << 16) | productVersion[3]);
    AppendU32(out, kFileFlagsMask);
    AppendU32(out, 0); // flags: a release build
    AppendU32(out, kFileOsWindows32);
    AppendU32(out, kFileTypeApplication);
    AppendU32(out, 0); // subtype
    AppendU32(out, 0); // date, most significant half
    AppendU32(out, 0); // date, least significant half
    return out;
}

VersionNode BuildVersionResource(const VersionResourceContent& content) {
    const QString tableKey = QStringLiteral("%1%2")
                                 .arg(content.language, 4, 16, QLatin1Char('0'))
                                 .arg(content.codePage, 4, 16, QLatin1Char('0'))
                                 .toUpper();
    VersionNode table = BinaryNode(tableKey, {});
    table.isText = true;
    for (const auto& [name, value] : content.strings)
        table.children.append(TextNode(name, value));

    VersionNode stringInfo = BinaryNode(QStringLiteral("StringFileInfo"), {}, {table});
    stringInfo.isText = true;

    QByteArray translation;
    AppendU16(translation, content.language);
    AppendU16(translation, content.codePage);
    VersionNode varInfo = BinaryNode(QStringLiteral("VarFileInfo"), {},
                                     {BinaryNode(QStringLiteral("Translation"), translation)});
    varInfo.isText = true;

    return BinaryNode(QStringLiteral("VS_VERSION_INFO"),
                      FixedFileInfoBytes(content.fileVersion, content.productVersion),
                      {stringInfo, varInfo});
}

std::optional<VersionNumbers> ParseVersionNumbers(const QString& text) {
    const QStringList parts = text.split(u'.');
    if (parts.isEmpty() || parts.size() > 4)
        return std::nullopt;
    VersionNumbers numbers{};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok);
        if (!ok || value > 0xFFFF)
            return std::nullopt;
        numbers[size_t(i)] = quint16(value);
    }
    return numbers;
}

QByteArray SerializeVersionNode(const VersionNode& node) {
    QByteArray out(kHeaderSize, '\0');
    out.append(Utf16WithTerminator(node.key));
    PadTo4(out);
    out.append(node.value);
    for (const VersionNode& child : node.children) {
        PadTo4(out);
        out.append(SerializeVersionNode(child));
    }
    if (out.size() > 0xFFFF)
        throw std::runtime_error("version block larger than 64 KiB");
    // Text values count UTF-16 units, binary ones bytes.
    const qsizetype valueLength = node.isText ? node.value.size() / 2 : node.value.size();
    qToLittleEndian(quint16(out.size()), out.data());
    qToLittleEndian(quint16(valueLength), out.data() + 2);
    qToLittleEndian(quint16(node.isText ? 1 : 0), out.data() + 4);
    return out;
}

VersionNode ParseVersionNode(const QByteArray& bytes) {
    qsizetype end = 0;
    return ParseAt(bytes, 0, bytes.size(), 0, end);
}

const VersionNode* FindVersionNode(const VersionNode& root, QStringView path) {
    const VersionNode* node = &root;
    for (const QStringView part : path.split(u'\\', Qt::SkipEmptyParts)) {
        const VersionNode* next = nullptr;
        for (const VersionNode& child : node->children) {
            if (child.key.compare(part, Qt::CaseInsensitive) == 0) {
                next = &child;
                break;
            }
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return node;
}

QString NodeText(const VersionNode& node) {
    QString text;
    for (qsizetype pos = 0; pos + 2 <= node.value.size(); pos += 2) {
        const quint16 unit = ReadU16(node.value, pos);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}
