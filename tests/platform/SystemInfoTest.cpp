// The system facts the update check sends: locale, installation id, OS.
#include "platform/SystemInfo.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <gtest/gtest.h>

TEST(UserLocaleNameTest, IsLanguageDashTerritoryOrXx) {
    const QString name = UserLocaleName();
    EXPECT_TRUE(name == QLatin1String("xx") ||
                QRegularExpression(QStringLiteral("^[a-z]{2,3}-[A-Z]{2}$")).match(name).hasMatch())
        << name.toStdString();
}

TEST(ReadMachineGuidTest, IsAStableGuidThatHidesTheMachineId) {
    const QByteArray machineId = QSysInfo::machineUniqueId();
    const QString guid = ReadMachineGuid();
    if (machineId.isEmpty()) {
        EXPECT_TRUE(guid.isEmpty());
        return;
    }
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-"
                                          "[0-9a-f]{12}$"))
            .match(guid)
            .hasMatch())
        << guid.toStdString();
    EXPECT_EQ(ReadMachineGuid(), guid);
    QString bare = guid;
    bare.remove(QLatin1Char('-'));
    EXPECT_FALSE(QString::fromLatin1(machineId).contains(bare, Qt::CaseInsensitive));
    EXPECT_FALSE(bare.contains(QString::fromLatin1(machineId).left(12), Qt::CaseInsensitive));
}

TEST(OsDescriptionTest, NamesVersionBuildAndWordSize) {
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^.+ \\(Version \\d+\\.\\d+, Build \\d+, (32|64)-bit Edition\\)$"))
            .match(OsDescription())
            .hasMatch())
        << OsDescription().toStdString();
}
