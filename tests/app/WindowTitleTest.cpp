// Window titles as the window system reads them: the secondary windows and
// message boxes are shown on a virtual X server through Qt's X11 platform,
// and their _NET_WM_NAME and WM_NAME properties are read back with xprop.
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

// Starts the probe on a fresh virtual display, asks xprop for each window's
// two names, and gives "key" -> the xprop lines.
QMap<QString, QString> TitlesFromTheWindowSystem(QString* problem) {
    static const char* const kScript = R"(
set -eu
probe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkfifo "$dir/in" "$dir/out"
QT_QPA_PLATFORM=xcb "$probe" <"$dir/in" >"$dir/out" &
pid=$!
exec 4>"$dir/in"
while read -r key id; do
  [ "$key" = END ] && break
  printf '%s\t' "$key"
  LC_ALL=C.UTF-8 xprop -id "$id" -notype _NET_WM_NAME WM_NAME | tr '\n' '\t'
  echo
done <"$dir/out"
exec 4>&-
wait "$pid"
)";
    QProcess run;
    run.setProcessChannelMode(QProcess::SeparateChannels);
    run.start(QStringLiteral("xvfb-run"),
              {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
               QStringLiteral("sh"), QStringLiteral("-c"), QString::fromUtf8(kScript),
               QStringLiteral("sh"), QStringLiteral(KORVANE_TITLE_PROBE)});
    if (!run.waitForFinished(120000)) {
        run.kill();
        run.waitForFinished();
        *problem = QStringLiteral("the virtual display run did not end");
        return {};
    }
    if (run.exitCode() != 0)
        *problem = QString::fromUtf8(run.readAllStandardError());
    QMap<QString, QString> titles;
    for (const QString& line : QString::fromUtf8(run.readAllStandardOutput()).split(u'\n')) {
        const qsizetype tab = line.indexOf(u'\t');
        if (tab > 0)
            titles.insert(line.left(tab), line.mid(tab + 1));
    }
    return titles;
}

} // namespace

TEST(WindowTitles, TheWindowSystemReadsTheTitlesAsTheWindowsSetThem) {
    for (const char* tool : {"xvfb-run", "Xvfb", "xprop"}) {
        ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            << tool << " is missing (scripts/install-deps.sh installs it)";
    }
    QString problem;
    const QMap<QString, QString> titles = TitlesFromTheWindowSystem(&problem);
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();

    const struct {
        const char* key;
        const char* title;
    } cases[] = {
        {"feedback", "Korvane feedback"}, {"language", "Language"},
        {"about", "About Korvane"},       {"success", "Success"},
        {"failure", "Failure"},           {"confirmation", "Confirmation"},
        {"license", "License"},
    };
    ASSERT_EQ(titles.size(), qsizetype(std::size(cases))) << titles.keys().join(u' ').toStdString();
    for (const auto& c : cases) {
        const QString properties = titles.value(QString::fromLatin1(c.key));
        for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
            const QRegularExpression exact(
                QStringLiteral("(^|\\t)%1 = \"%2\"\\t")
                    .arg(QString::fromLatin1(name),
                         QRegularExpression::escape(QString::fromUtf8(c.title))));
            EXPECT_TRUE(exact.match(properties).hasMatch())
                << c.key << " " << name << ": " << properties.toStdString();
        }
    }
}
