#include "about/VersionInfo.h"

#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using Field = QString TEXEVersionData::*;

const Field kAllFields[] = {
    &TEXEVersionData::CompanyName,      &TEXEVersionData::FileDescription,
    &TEXEVersionData::FileVersion,      &TEXEVersionData::InternalName,
    &TEXEVersionData::LegalCopyright,   &TEXEVersionData::LegalTrademarks,
    &TEXEVersionData::OriginalFileName, &TEXEVersionData::ProductName,
    &TEXEVersionData::ProductVersion,   &TEXEVersionData::Comments,
    &TEXEVersionData::PrivateBuild,     &TEXEVersionData::SpecialBuild,
};

// A record whose every field is set, to see what a reader touched.
TEXEVersionData Prefilled() {
    TEXEVersionData data;
    for (Field field : kAllFields)
        data.*field = QStringLiteral("untouched");
    return data;
}

void ExpectAll(const TEXEVersionData& data, const QString& value) {
    for (Field field : kAllFields)
        EXPECT_EQ(data.*field, value);
}

QByteArray Translation(quint16 language, quint16 codePage) {
    QByteArray out(4, '\0');
    out[0] = char(language & 0xFF);
    out[1] = char(language >> 8);
    out[2] = char(codePage & 0xFF);
    out[3] = char(codePage >> 8);
    return out;
}

VersionNode Table(const QString& key, const QList<QPair<QString, QString>>& values) {
    VersionNode table = BinaryNode(key, {});
    table.isText = true;
    for (const auto& [name, value] : values)
        table.children.append(TextNode(name, value));
    return table;
}

// A block with the given string tables and translation entries (no
// VarFileInfo at all when `translations` is nullopt).
QByteArray Block(const QList<VersionNode>& tables, std::optional<QByteArray> translations) {
    VersionNode root = BinaryNode(QStringLiteral("VS_VERSION_INFO"),
                                  FixedFileInfoBytes({1, 0, 0, 0}, {1, 0, 0, 0}));
    root.children.append(BinaryNode(QStringLiteral("StringFileInfo"), {}, tables));
    if (translations)
        root.children.append(
            BinaryNode(QStringLiteral("VarFileInfo"), {},
                       {BinaryNode(QStringLiteral("Translation"), *translations)}));
    return SerializeVersionNode(root);
}

} // namespace

TEST(ReadVersionInfo, TheBuiltProgramCarriesItsVersionBlock) {
    TEXEVersionData data;
    ReadVersionInfo(testmedia::CliPath(), data);
    EXPECT_EQ(data.CompanyName, QStringLiteral("QUIBLEX"));
    EXPECT_EQ(data.ProductName, QStringLiteral("Korvane"));
    EXPECT_EQ(data.FileDescription, QStringLiteral("Korvane"));
    EXPECT_EQ(data.InternalName, QStringLiteral("Korvane"));
    // Written OriginalFilename, asked for as OriginalFileName.
    EXPECT_EQ(data.OriginalFileName, QStringLiteral("korvane.exe"));
    EXPECT_EQ(data.FileVersion, QStringLiteral("1.0.0.0"));
    EXPECT_EQ(data.ProductVersion, QStringLiteral("1.0.0.0"));
    EXPECT_TRUE(data.LegalCopyright.contains(QStringLiteral("QUIBLEX")));
    EXPECT_TRUE(data.PrivateBuild.isEmpty());
    EXPECT_TRUE(data.SpecialBuild.isEmpty());
    EXPECT_TRUE(data.Comments.isEmpty());
    EXPECT_TRUE(data.LegalTrademarks.isEmpty());

    EXPECT_EQ(ReadFixedFileVersion(testmedia::CliPath()), (VersionNumbers{1, 0, 0, 0}));
}

TEST(ReadVersionInfo, CliReportsTheVersionOfItsBlock) {
    QProcess cli;
    cli.start(testmedia::CliPath(), {QStringLiteral("--version")});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardOutput()),
              QStringLiteral("korvane-cli 1.0.0.0\n"));
}

TEST(ReadVersionInfo, FilesWithoutBlockRaiseBeforeTouchingTheRecord) {
    QTemporaryDir dir;
    const QString text =
        testmedia::WriteBytes(dir.filePath(QStringLiteral("notes.txt")), "hello\n");
    const QString empty =
        testmedia::WriteBytes(dir.filePath(QStringLiteral("empty")), QByteArray());
    const QString cases[] = {
        QCoreApplication::applicationFilePath(), // an executable built without a block
        text,
        empty,
        dir.filePath(QStringLiteral("missing.exe")),
        dir.path(),
    };
    for (const QString& file : cases) {
        TEXEVersionData data = Prefilled();
        try {
            ReadVersionInfo(file, data);
            ADD_FAILURE() << "no error for " << file.toStdString();
        } catch (const std::runtime_error& error) {
            EXPECT_TRUE(QString::fromUtf8(error.what()).contains(file)) << error.what();
        }
        ExpectAll(data, QStringLiteral("untouched"));
        EXPECT_EQ(ReadFixedFileVersion(file), std::nullopt) << file.toStdString();
    }
}

TEST(ReadVersionBlock, HandMadeBlocks) {
    const VersionNode us = Table(QStringLiteral("040904E4"),
                                 {{QStringLiteral("CompanyName"), QStringLiteral("US Co")},
                                  {QStringLiteral("ProductName"), QStringLiteral("US Product")}});
    const VersionNode german = Table(QStringLiteral("040704b0"),
                                     {{QStringLiteral("CompanyName"), QStringLiteral("DE GmbH")}});

    struct Case {
        const char* name;
        QByteArray block;
        bool throws;
        QString company; // expected CompanyName ("untouched" when not found)
        QString product;
    };
    const QString untouched = QStringLiteral("untouched");
    const Case cases[] = {
        {"no translation table", Block({us}, std::nullopt), true, untouched, untouched},
        {"empty translation table", Block({us}, QByteArray()), true, untouched, untouched},
        {"translation entry cut short", Block({us}, QByteArray(2, '\x09')), true, untouched,
         untouched},
        {"first translation names a missing table", Block({us}, Translation(0x0419, 0x04E3)), false,
         untouched, untouched},
        {"first translation of two counts",
         Block({us, german}, Translation(0x0409, 0x04E4) + Translation(0x0407, 0x04B0)), false,
         QStringLiteral("US Co"), QStringLiteral("US Product")},
        {"only the first translation is looked at",
         Block({us, german}, Translation(0x0407, 0x04B0) + Translation(0x0409, 0x04E4)), false,
         QStringLiteral("DE GmbH"), untouched},
        {"upper-case table key found by the lower-case lookup",
         Block({us}, Translation(0x0409, 0x04E4)), false, QStringLiteral("US Co"),
         QStringLiteral("US Product")},
        {"not a version block",
         SerializeVersionNode(BinaryNode(QStringLiteral("SOMETHING_ELSE"), {})), true, untouched,
         untouched},
        {"damaged", Block({us}, Translation(0x0409, 0x04E4)).left(40), true, untouched, untouched},
    };
    for (const Case& c : cases) {
        TEXEVersionData data = Prefilled();
        if (c.throws) {
            EXPECT_THROW(ReadVersionBlock(c.block, data), std::runtime_error) << c.name;
            ExpectAll(data, untouched);
            continue;
        }
        EXPECT_NO_THROW(ReadVersionBlock(c.block, data)) << c.name;
        EXPECT_EQ(data.CompanyName, c.company) << c.name;
        EXPECT_EQ(data.ProductName, c.product) << c.name;
        // Values a table lacks leave their fields as they were.
        EXPECT_EQ(data.Comments, untouched) << c.name;
    }
}

TEST(ReadVersionBlock, MissingTableGivesAnAllEmptyFreshRecord) {
    TEXEVersionData data;
    ReadVersionBlock(Block({Table(QStringLiteral("040904E4"),
                                  {{QStringLiteral("CompanyName"), QStringLiteral("X")}})},
                           Translation(0x0809, 0x04E4)),
                     data);
    ExpectAll(data, QString());
}

TEST(ReadVersionBlock, ValueNamesMatchWithoutRegardToCase) {
    TEXEVersionData data;
    ReadVersionBlock(Block({Table(QStringLiteral("040904e4"),
                                  {{QStringLiteral("ORIGINALFILENAME"), QStringLiteral("a.exe")},
                                   {QStringLiteral("privatebuild"), QStringLiteral("lab")},
                                   {QStringLiteral("Comments"), QString()}})},
                           Translation(0x0409, 0x04E4)),
                     data);
    EXPECT_EQ(data.OriginalFileName, QStringLiteral("a.exe"));
    EXPECT_EQ(data.PrivateBuild, QStringLiteral("lab"));
    EXPECT_EQ(data.Comments, QString());
    EXPECT_EQ(data.CompanyName, QString());
}

// A hand-made block placed in an executable by objcopy, read through the file.
TEST(ReadVersionInfo, HandMadeBlockInAnExecutable) {
    QTemporaryDir dir;
    // Any small executable without a block of its own will do.
    const QString base = QStandardPaths::findExecutable(QStringLiteral("true"));
    ASSERT_FALSE(base.isEmpty());

    struct Case {
        const char* name;
        QByteArray block;
        bool throws;
        QString company;
    };
    const Case cases[] = {
        {"first translation names a missing table",
         Block({Table(QStringLiteral("040904E4"),
                      {{QStringLiteral("CompanyName"), QStringLiteral("A")}})},
               Translation(0x0405, 0x04E2)),
         false, QString()},
        {"no translation table",
         Block({Table(QStringLiteral("040904E4"),
                      {{QStringLiteral("CompanyName"), QStringLiteral("A")}})},
               std::nullopt),
         true, QString()},
        {"another company",
         Block({Table(QStringLiteral("040904E4"),
                      {{QStringLiteral("CompanyName"), QStringLiteral("B")}})},
               Translation(0x0409, 0x04E4)),
         false, QStringLiteral("B")},
    };
    int index = 0;
    for (const Case& c : cases) {
        const QString blockFile =
            testmedia::WriteBytes(dir.filePath(QStringLiteral("block%1.bin").arg(index)), c.block);
        const QString program = dir.filePath(QStringLiteral("program%1").arg(index++));
        QProcess objcopy;
        objcopy.start(QStringLiteral("objcopy"),
                      {QStringLiteral("--add-section"), QStringLiteral(".versioninfo=") + blockFile,
                       base, program});
        ASSERT_TRUE(objcopy.waitForFinished(30000)) << c.name;
        ASSERT_EQ(objcopy.exitCode(), 0) << c.name << objcopy.readAllStandardError().toStdString();

        TEXEVersionData data;
        if (c.throws) {
            EXPECT_THROW(ReadVersionInfo(program, data), std::runtime_error) << c.name;
        } else {
            EXPECT_NO_THROW(ReadVersionInfo(program, data)) << c.name;
            EXPECT_EQ(data.CompanyName, c.company) << c.name;
            EXPECT_EQ(data.ProductName, QString()) << c.name;
        }
    }
}
