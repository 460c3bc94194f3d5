#include "common/FileCollection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

QStringList Relative(const QStringList& paths, const QString& root) {
    QStringList out;
    for (const QString& p : paths)
        out << p.mid(root.size() + 1);
    return out;
}

} // namespace

TEST(IsSupportedFile, Extensions) {
    const std::pair<const char*, bool> cases[] = {
        {"Song.MP3", true},
        {"a.flac", true},
        {"clip.MkV", true},
        {"x.eac3", true},
        {"x.webm", true},
        {"x.wv", true},
        {"song.opus", false},
        {"notes.txt", false},
        {"song.mp3 ", false},
        {"noextension", false},
        {".mp3", true},
        {"/music/album.flac/track", false},
        {"/music/a.b/track.aiff", true},
        {"archive.mp3.zip", false},
        {"x.", false},
    };
    for (auto [name, expected] : cases)
        EXPECT_EQ(IsSupportedFile(QString::fromUtf8(name)), expected) << name;
}

TEST(ScanFolder, DepthFirstPreOrderWithHiddenFiles) {
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir(root).mkpath(QStringLiteral("sub/deeper"));
    Touch(root + QStringLiteral("/a.mp3"));
    Touch(root + QStringLiteral("/sub/b.wav"));
    Touch(root + QStringLiteral("/sub/deeper/.hidden.flac"));
    Touch(root + QStringLiteral("/c.flac"));
    Touch(root + QStringLiteral("/skip.txt"));
    Touch(root + QStringLiteral("/song.opus"));

    QStringList found;
    ScanFolder(root, found);
    const QStringList rel = Relative(found, root);
    EXPECT_EQ(rel.size(), 4) << rel.join(u' ').toStdString();
    EXPECT_TRUE(rel.contains(QStringLiteral("sub/deeper/.hidden.flac")));
    // Pre-order: a folder's files come right where the folder is met, so the
    // files of sub are contiguous, and deeper's sit inside sub's run.
    const auto subFirst = rel.indexOf(QStringLiteral("sub/b.wav"));
    const auto deeper = rel.indexOf(QStringLiteral("sub/deeper/.hidden.flac"));
    EXPECT_EQ(std::abs(subFirst - deeper), 1);

    // A trailing separator on the folder gives the same paths.
    QStringList again;
    ScanFolder(root + u'/', again);
    EXPECT_EQ(again, found);

    // Scanning appends: loading the same folder twice lists its files twice.
    ScanFolder(root, found);
    EXPECT_EQ(found.size(), 8);
}

TEST(FileNameOrder, AsAFileManagerListsNames) {
    // Each pair in the order a file manager shows it; both ways round are checked.
    const std::pair<const char*, const char*> cases[] = {
        {"track 9.flac", "track 10.flac"},
        {"f470.mp3", "f1463.mp3"},
        {"f0470.mp3", "f1463.mp3"},
        {"f2.mp3", "f10.mp3"},
        {"Disc 1", "disc 2"},
        {"apple.mp3", "Banana.mp3"},
        {"Banana.mp3", "cherry.mp3"},
        {"A.mp3", "a.mp3"},                // equal but for case: a fixed order all the same
        {"01 intro.flac", "1 intro.flac"}, // equal numbers: a fixed order too
        {"01 intro.flac", "2 song.flac"},
        {"10 - ten.mp3", "100 - hundred.mp3"},
        {"album", "album 2"},
    };
    const FileNameOrder order;
    for (auto [first, second] : cases) {
        const QString a = QString::fromUtf8(first), b = QString::fromUtf8(second);
        EXPECT_TRUE(order.less(a, b)) << first << " < " << second;
        EXPECT_FALSE(order.less(b, a)) << second << " !< " << first;
    }
    EXPECT_FALSE(order.less(QStringLiteral("x.mp3"), QStringLiteral("x.mp3")));
}

TEST(ScanFolder, ListsEachFolderInNameOrderWithSubfoldersAmongFiles) {
    QTemporaryDir dir;
    const QString root = dir.path();
    // Created out of order, so creation order cannot pass for name order.
    for (const char* name :
         {"f10.mp3", "Disc 2/t2.mp3", "f1.mp3", "disc 10/t1.mp3", "Disc 2/t10.mp3", "F2.mp3",
          "disc 1/t1.mp3", "Disc 2/T1.mp3", "e.flac", "g.wav"}) {
        const QString path = root + u'/' + QString::fromUtf8(name);
        QDir().mkpath(QFileInfo(path).path());
        Touch(path);
    }
    QStringList found;
    ScanFolder(root, found);
    const QStringList expected = {
        QStringLiteral("disc 1/t1.mp3"),  QStringLiteral("Disc 2/T1.mp3"),
        QStringLiteral("Disc 2/t2.mp3"),  QStringLiteral("Disc 2/t10.mp3"),
        QStringLiteral("disc 10/t1.mp3"), QStringLiteral("e.flac"),
        QStringLiteral("f1.mp3"),         QStringLiteral("F2.mp3"),
        QStringLiteral("f10.mp3"),        QStringLiteral("g.wav"),
    };
    EXPECT_EQ(Relative(found, root), expected) << Relative(found, root).join(u'|').toStdString();
}

TEST(ScanFolder, ThousandsOfNumberedFilesComeOutInNumericOrder) {
    QTemporaryDir dir;
    QStringList expected;
    for (int i = 0; i < 2000; ++i)
        expected << QStringLiteral("f%1.mp3").arg(i);
    // A shuffled creation order, as a hashed directory would hand it back anyway.
    QStringList shuffled = expected;
    std::uint32_t state = 7;
    for (qsizetype i = shuffled.size() - 1; i > 0; --i) {
        state = state * 1664525u + 1013904223u;
        shuffled.swapItemsAt(i, qsizetype(state % std::uint32_t(i + 1)));
    }
    for (const QString& name : shuffled)
        Touch(dir.filePath(name));
    QStringList found;
    ScanFolder(dir.path(), found);
    EXPECT_EQ(Relative(found, dir.path()), expected);
}

TEST(ScanFolder, MissingEmptyAndUnreadableFoldersAddNothing) {
    QTemporaryDir dir;
    QStringList found;
    ScanFolder(dir.filePath(QStringLiteral("missing")), found);
    ScanFolder(dir.path(), found);
    EXPECT_TRUE(found.isEmpty());
    if (::geteuid() != 0) {
        QDir(dir.path()).mkdir(QStringLiteral("locked"));
        Touch(dir.filePath(QStringLiteral("locked/x.mp3")));
        QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFileDevice::Permissions{});
        ScanFolder(dir.path(), found);
        QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFileDevice::ReadOwner |
                                                                          QFileDevice::WriteOwner |
                                                                          QFileDevice::ExeOwner);
        EXPECT_TRUE(found.isEmpty());
    }
}

TEST(ScanFolder, FollowsFolderLinksButEndsLoops) {
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir(root).mkpath(QStringLiteral("music/album"));
    Touch(root + QStringLiteral("/music/album/t.mp3"));
    Touch(root + QStringLiteral("/elsewhere.flac"));
    // A link back to an ancestor, and a link to a folder outside the scanned tree.
    ASSERT_TRUE(
        QFile::link(root + QStringLiteral("/music"), root + QStringLiteral("/music/album/loop")));
    QDir(root).mkpath(QStringLiteral("outside"));
    Touch(root + QStringLiteral("/outside/o.wav"));
    ASSERT_TRUE(
        QFile::link(root + QStringLiteral("/outside"), root + QStringLiteral("/music/linked")));

    QStringList found;
    ScanFolder(root + QStringLiteral("/music"), found);
    const QStringList rel = Relative(found, root + QStringLiteral("/music"));
    EXPECT_EQ(rel.size(), 2) << rel.join(u' ').toStdString();
    EXPECT_TRUE(rel.contains(QStringLiteral("album/t.mp3")));
    EXPECT_TRUE(rel.contains(QStringLiteral("linked/o.wav"))) << "links to folders are followed";
}

TEST(ScanFolder, AStopRequestedBeforehandScansNothing) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("a/b"));
    Touch(dir.filePath(QStringLiteral("a/b/t.mp3")));
    Touch(dir.filePath(QStringLiteral("u.mp3")));
    std::stop_source stop;
    stop.request_stop();
    QStringList found{QStringLiteral("/earlier.mp3")};
    ScanFolder(dir.path(), found, stop.get_token());
    EXPECT_EQ(found, QStringList{QStringLiteral("/earlier.mp3")});
}

// A big tree, stopped right after the scan starts: the scan returns early with
// part of the files, each of them one that a whole scan finds too.
TEST(ScanFolder, AStopDuringTheScanEndsItWithWhatItFoundSoFar) {
    QTemporaryDir dir;
    for (int folder = 0; folder < 200; ++folder) {
        const QString name = QStringLiteral("d%1").arg(folder);
        QDir(dir.path()).mkdir(name);
        for (int file = 0; file < 20; ++file)
            Touch(dir.filePath(name + QStringLiteral("/t%1.mp3").arg(file)));
    }
    QStringList whole;
    ScanFolder(dir.path(), whole);
    ASSERT_EQ(whole.size(), 4000);

    std::stop_source stop;
    QStringList part;
    {
        std::jthread scanner([&] { ScanFolder(dir.path(), part, stop.get_token()); });
        stop.request_stop();
    }
    EXPECT_LT(part.size(), whole.size());
    EXPECT_EQ(part, whole.mid(0, part.size()));
}
