#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

// A version block is a tree of nodes laid out as Windows version resources are:
// each node is a 16-bit length, a 16-bit value length, a 16-bit type, a
// zero-terminated UTF-16 key, its value and its children, every part starting
// on a 32-bit boundary, all little-endian.
struct VersionNode {
    QString key;
    bool isText = false; // type 1: the value is zero-terminated UTF-16 text
    QByteArray value;    // raw bytes (for text: UTF-16LE including the terminator)
    QList<VersionNode> children;
};

// Four 16-bit parts, most significant first: 1.0.0.0 is {1, 0, 0, 0}.
using VersionNumbers = std::array<quint16, 4>;

VersionNode TextNode(const QString& key, const QString& text);
VersionNode BinaryNode(const QString& key, const QByteArray& value,
                       const QList<VersionNode>& children = {});

// The 52-byte fixed part of a version block (signature 0xFEEF04BD).
QByteArray FixedFileInfoBytes(const VersionNumbers& fileVersion,
                              const VersionNumbers& productVersion);

// What a program's version block declares: one translation and one string
// table for it.
struct VersionResourceContent {
    VersionNumbers fileVersion{};
    VersionNumbers productVersion{};
    quint16 language = 0x0409;
    quint16 codePage = 0x04E4;
    QList<QPair<QString, QString>> strings; // name, value, in this order
};

// The whole tree: VS_VERSION_INFO with StringFileInfo and VarFileInfo.
VersionNode BuildVersionResource(const VersionResourceContent& content);

// Parses "1.0.0.0" (one to four parts, missing ones are 0); nullopt when malformed.
std::optional<VersionNumbers> ParseVersionNumbers(const QString& text);

QByteArray SerializeVersionNode(const VersionNode& node);

// Parses the node at the start of `bytes`; throws std::runtime_error when the
// bytes are not a well-formed node tree. Trailing bytes after the root are ignored.
VersionNode ParseVersionNode(const QByteArray& bytes);

// Looks a node up by a path such as "\StringFileInfo\040904e4\CompanyName",
// matching keys without regard to letter case; nullptr when absent.
const VersionNode* FindVersionNode(const VersionNode& root, QStringView path);

// A text node's value up to its terminator.
QString NodeText(const VersionNode& node);
