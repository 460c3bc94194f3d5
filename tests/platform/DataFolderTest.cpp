#include "platform/DataFolder.h"

#include "platform/NamedInstanceLock.h"
#include "platform/UrlOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

} // namespace

TEST(IsFolderWritable, WritableFolderLeavesNoProbeBehind) {
    QTemporaryDir dir;
    EXPECT_TRUE(IsFolderWritable(dir.path()));
    EXPECT_TRUE(IsFolderWritable(dir.path() + u'/'));
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}

TEST(IsFolderWritable, LeftoverProbeMissingAndReadOnlyFoldersAreNotWritable) {
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("chk.tmp")));
    EXPECT_FALSE(IsFolderWritable(dir.path()));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("chk.tmp")))); // not ours to remove

    EXPECT_FALSE(IsFolderWritable(dir.filePath(QStringLiteral("missing"))));

    if (::geteuid() != 0) { // permissions do not bind root
        QTemporaryDir locked;
        QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(IsFolderWritable(locked.path()));
        QFile::setPermissions(locked.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(ChooseDataFolder, ExecutableFolderWhenWritableElseCompanyAndProductUnderUserData) {
    QTemporaryDir exe;
    QTemporaryDir data;
    const QString userData = data.filePath(QStringLiteral("share")); // not there yet

    EXPECT_EQ(ChooseDataFolder(exe.path(), userData, QStringLiteral("QUIBLEX"),
                               QStringLiteral("Korvane")),
              exe.path() + u'/');
    EXPECT_FALSE(QFile::exists(exe.filePath(QStringLiteral("chk.tmp"))));

    Touch(exe.filePath(QStringLiteral("chk.tmp")));
    const QString chosen = ChooseDataFolder(exe.path(), userData, QStringLiteral("QUIBLEX"),
                                            QStringLiteral("Korvane"));
    EXPECT_EQ(chosen, userData + QStringLiteral("/QUIBLEX/Korvane/"));
    EXPECT_TRUE(QDir(chosen).exists());
    // A second start finds the folders there already.
    EXPECT_EQ(ChooseDataFolder(exe.path(), userData, QStringLiteral("QUIBLEX"),
                               QStringLiteral("Korvane")),
              chosen);
}

TEST(NamedInstanceLock, NeverRefusesASecondInstance) {
    NamedInstanceLock first(QStringLiteral("KorvaneTest_%1").arg(::getpid()));
    NamedInstanceLock second(QStringLiteral("KorvaneTest_%1").arg(::getpid()));
    EXPECT_TRUE(first.isHeld());
    EXPECT_TRUE(second.isHeld());
    EXPECT_EQ(first.path(), second.path());
    QFile::remove(first.path());
}

TEST(UrlOpener, OnlyWebPagesAndLocalFilesArePassedOn) {
    const std::pair<const char*, bool> cases[] = {
        {"http://www.quiblex.com/help/korvane/", true},
        {"https://example.org/x", true},
        {"file:///home/user/My Music/a b.mp3", true},
        {"javascript:alert(1)", false},
        {"mailto:someone@example.org", false},
        {"smb://server/share", false},
        {"http://", false},
        {"", false},
    };
    for (auto [text, openable] : cases)
        EXPECT_EQ(IsOpenableUrl(QUrl(QString::fromUtf8(text))), openable) << text;
}
