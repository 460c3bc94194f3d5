#include "about/VersionBlock.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace

// Laid out by hand from the format: header, key, padding to 32 bits, value.
TEST(VersionBlock, TextNodeHasTheWindowsLayout) {
    const QByteArray expected = Bytes({
        0x10, 0x00, 0x02, 0x00, 0x01, 0x00, // length 16, value length 2 units, text
        'A', 0x00, 0x00, 0x00,              // key "A" and terminator
        0x00, 0x00,                         // padding to 12
        'B', 0x00, 0x00, 0x00,              // value "B" and terminator
    });
    EXPECT_EQ(SerializeVersionNode(TextNode(QStringLiteral("A"), QStringLiteral("B"))), expected);
}

TEST(VersionBlock, ChildrenAndBinaryValuesAreAligned) {
    const QByteArray expected = Bytes({
        0x22, 0x00, 0x03, 0x00, 0x00, 0x00,             // length 34, 3 value bytes, binary
        'K',  0x00, 'e',  0x00, 'y',  0x00, 0x00, 0x00, // key "Key" and terminator
        0x00, 0x00,                                     // padding to 16
        0x01, 0x02, 0x03,                               // value
        0x00,                                           // padding to 20
        0x0E, 0x00, 0x01, 0x00, 0x01, 0x00,             // child: length 14, one unit, text
        'c',  0x00, 0x00, 0x00,                         // key "c" and terminator
        0x00, 0x00,                                     // padding to 32
        0x00, 0x00,                                     // empty text: the terminator
    });
    const VersionNode node = BinaryNode(QStringLiteral("Key"), Bytes({1, 2, 3}),
                                        {TextNode(QStringLiteral("c"), QString())});
    const QByteArray bytes = SerializeVersionNode(node);
    EXPECT_EQ(bytes, expected);

    const VersionNode parsed = ParseVersionNode(bytes);
    EXPECT_EQ(parsed.key, QStringLiteral("Key"));
    EXPECT_FALSE(parsed.isText);
    EXPECT_EQ(parsed.value, Bytes({1, 2, 3}));
    ASSERT_EQ(parsed.children.size(), 1);
    EXPECT_EQ(parsed.children[0].key, QStringLiteral("c"));
    EXPECT_EQ(NodeText(parsed.children[0]), QString());
}

TEST(VersionBlock, RoundTripAndCaseInsensitivePaths) {
    VersionResourceContent content;
    content.fileVersion = {1, 2, 3, 4};
    content.productVersion = {5, 6, 7, 8};
    content.strings = {{QStringLiteral("CompanyName"), QStringLiteral("Ünïcode © Ltd")},
                       {QStringLiteral("OriginalFilename"), QStringLiteral("x.exe")}};
    const VersionNode root = ParseVersionNode(SerializeVersionNode(BuildVersionResource(content)));

    EXPECT_EQ(root.key, QStringLiteral("VS_VERSION_INFO"));
    EXPECT_EQ(root.value, FixedFileInfoBytes(content.fileVersion, content.productVersion));
    const VersionNode* company = FindVersionNode(root, u"\\StringFileInfo\\040904e4\\companyname");
    ASSERT_NE(company, nullptr);
    EXPECT_EQ(NodeText(*company), QStringLiteral("Ünïcode © Ltd"));
    const VersionNode* name =
        FindVersionNode(root, u"\\STRINGFILEINFO\\040904E4\\OriginalFileName");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(NodeText(*name), QStringLiteral("x.exe"));
    EXPECT_EQ(FindVersionNode(root, u"\\StringFileInfo\\040904e4\\Comments"), nullptr);
    const VersionNode* translation = FindVersionNode(root, u"\\VarFileInfo\\Translation");
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation->value, Bytes({0x09, 0x04, 0xE4, 0x04}));
}

TEST(VersionBlock, ParsesVersionNumbers) {
    const std::pair<const char*, std::optional<VersionNumbers>> cases[] = {
        {"1.0.0.0", VersionNumbers{1, 0, 0, 0}},
        {"2.5", VersionNumbers{2, 5, 0, 0}},
        {"65535.1.2.3", VersionNumbers{65535, 1, 2, 3}},
        {"65536.0.0.0", std::nullopt},
        {"1.0.0.0.0", std::nullopt},
        {"1..0", std::nullopt},
        {"", std::nullopt},
        {"1.a", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseVersionNumbers(QString::fromUtf8(text)), expected) << text;
}

TEST(VersionBlock, MalformedBytesThrow) {
    const QByteArray good =
        SerializeVersionNode(TextNode(QStringLiteral("Key"), QStringLiteral("V")));
    QByteArray tooLong = good;
    tooLong[0] = char(good.size() + 4);
    QByteArray noTerminator =
        Bytes({0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 'A', 0x00, 'B', 0x00, 'C', 0x00});
    QByteArray binaryOverrun =
        Bytes({0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 'A', 0x00, 0x00, 0x00, 0, 0});
    QByteArray badType = good;
    badType[4] = 7;
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"header cut off", good.left(4)},
        {"length beyond the bytes", tooLong},
        {"length smaller than a header", Bytes({0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0, 0})},
        {"key without terminator", noTerminator},
        {"binary value past the node", binaryOverrun},
        {"unknown type", badType},
    };
    for (const auto& [name, bytes] : cases)
        EXPECT_THROW(ParseVersionNode(bytes), std::runtime_error) << name;
}

// Whatever prefix of a real block arrives, parsing fails cleanly or succeeds.
TEST(VersionBlock, EveryTruncationIsHandled) {
    VersionResourceContent content;
    content.strings = {{QStringLiteral("CompanyName"), QStringLiteral("QUIBLEX")}};
    const QByteArray block = SerializeVersionNode(BuildVersionResource(content));
    int failures = 0;
    for (qsizetype size = 0; size < block.size(); ++size) {
        QByteArray cut = block.left(size);
        try {
            ParseVersionNode(cut);
        } catch (const std::runtime_error&) {
            ++failures;
        }
    }
    // The root's own length runs to the end, so every shorter prefix is short.
    EXPECT_EQ(failures, block.size());
    EXPECT_NO_THROW(ParseVersionNode(block + QByteArray(3, '\0')));
}

TEST(VersionBlock, TextLengthCountedInBytesIsTolerated) {
    const QString key = QStringLiteral("Name");
    QByteArray bytes = SerializeVersionNode(TextNode(key, QStringLiteral("Value")));
    // Some writers count text values in bytes: 12 instead of 6 units.
    bytes[2] = 12;
    const VersionNode node = ParseVersionNode(bytes);
    EXPECT_EQ(NodeText(node), QStringLiteral("Value"));
}

// Damaged bytes anywhere in a block end in a clean error or a parsed tree,
// never in a read outside the bytes (the sanitizer build watches for that).
TEST(VersionBlock, CorruptedBytesAreHandled) {
    VersionResourceContent content;
    content.strings = {{QStringLiteral("CompanyName"), QStringLiteral("QUIBLEX")},
                       {QStringLiteral("ProductName"), QStringLiteral("Korvane")}};
    const QByteArray block = SerializeVersionNode(BuildVersionResource(content));
    int parsed = 0;
    for (qsizetype at = 0; at < block.size(); ++at) {
        for (const char value : {char(0x00), char(0xFF), char(0x07)}) {
            QByteArray damaged = block;
            damaged[at] = value;
            try {
                const VersionNode root = ParseVersionNode(damaged);
                FindVersionNode(root, u"\\StringFileInfo\\040904e4\\ProductName");
                ++parsed;
            } catch (const std::runtime_error&) {
            }
        }
    }
    // Damage to text bytes still parses; damage to lengths does not.
    EXPECT_GT(parsed, 0);
    EXPECT_LT(parsed, block.size() * 3);
}
