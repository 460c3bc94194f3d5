// The desktop entry that makes file managers offer "Open with Korvane".
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

QString EntryPath() {
    return QStringLiteral(KORVANE_DESKTOP_ENTRY);
}

// The value of `key` in the [Desktop Entry] group.
QString EntryValue(const QString& key) {
    QFile file(EntryPath());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString prefix = key + u'=';
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}

} // namespace

TEST(DesktopEntry, OpensTheFilesItIsGiven) {
    EXPECT_EQ(EntryValue(QStringLiteral("Exec")), QStringLiteral("korvane %F"));
}

TEST(DesktopEntry, ClaimsEveryTypeTheProgramReads) {
    const QStringList listed =
        EntryValue(QStringLiteral("MimeType")).split(u';', Qt::SkipEmptyParts);
    const QSet<QString> claimed(listed.begin(), listed.end());
    // The extensions folder scans accept, and .opus that Add Files reads too.
    const char* extensions[] = {"mp4", "mkv",  "avi", "mpg", "mpeg", "mov",  "wmv",  "flv",
                                "f4v", "mp3",  "wma", "wav", "m4a",  "ogg",  "aiff", "aac",
                                "ac3", "eac3", "mp2", "wv",  "webm", "flac", "opus"};
    const QMimeDatabase db;
    for (const char* extension : extensions) {
        const QString name = QStringLiteral("x.") + QString::fromLatin1(extension);
        const QList<QMimeType> types = db.mimeTypesForFileName(name);
        if (types.isEmpty()) {
            // No registered type (.eac3): the file manager falls back to the
            // content, so the IANA name is what it will look for.
            EXPECT_TRUE(claimed.contains(QStringLiteral("audio/") + QString::fromLatin1(extension)))
                << extension;
        }
        for (const QMimeType& type : types)
            EXPECT_TRUE(claimed.contains(type.name()))
                << extension << " is " << type.name().toStdString();
    }
    for (const QString& type : listed) {
        EXPECT_TRUE(type.startsWith(u"audio/") || type.startsWith(u"video/")) << type.toStdString();
    }
}

TEST(DesktopEntry, Validates) {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP()
            << "desktop-file-validate is not installed (scripts/install-deps.sh brings it)";
    QProcess process;
    process.start(validator, {EntryPath()});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.trimmed().isEmpty()) << "no warnings either: " << output.toStdString();
}
