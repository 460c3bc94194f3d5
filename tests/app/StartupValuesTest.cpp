#include "app/AddFilesFilter.h"
#include "app/AppContext.h"
#include "app/OnlineHelp.h"
#include "app/SettingsIni.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(AddFilesFilter, TwoEntriesWithTheSupportedPatternsAndAllFiles) {
    EXPECT_EQ(AddFilesFilterText(),
              u"Supported Files|*.mp3;*.wav;*.m4a;*.wma;*.flac;*.webm;*.aiff;*.aac;*.ogg;*.opus;"
              u"*.ac3;*.eac3;*.mp2;*.wv;*.mp4;*.mkv;*.avi;*.mpg;*.mpeg;*.mov;*.wmv;*.flv;*.f4v"
              u"|All Files|*.*");
    const QStringList filters = NameFiltersFromFilterText(AddFilesFilterText());
    ASSERT_EQ(filters.size(), 2);
    ASSERT_TRUE(filters[0].startsWith(u"Supported Files ("));
    const QString patterns = filters[0].mid(17).chopped(1);
    const QStringList list = patterns.split(u' ');
    EXPECT_EQ(list.size(), 23);
    EXPECT_TRUE(list.contains(QStringLiteral("*.opus")));
    EXPECT_EQ(list.first(), u"*.mp3");
    EXPECT_EQ(list.last(), u"*.f4v");
    // "*.*" means every file, names without a dot too.
    EXPECT_EQ(filters[1], u"All Files (*)");
}

TEST(OnlineHelp, PageNamedAfterTheProduct) {
    const std::tuple<const char16_t*, const char16_t*, const char*> cases[] = {
        {u"www.quiblex.com", u"Korvane", "http://www.quiblex.com/help/korvane/"},
        {u"example.org", u"Big Tool Pro", "http://example.org/help/big-tool-pro/"},
        {u"example.org", u"K\u00d6rvane", "http://example.org/help/k%C3%96rvane/"},
    };
    for (auto [host, product, expected] : cases) {
        const QUrl url = OnlineHelpUrl(QString::fromUtf16(host), QString::fromUtf16(product));
        EXPECT_EQ(url.toString(QUrl::FullyEncoded).toStdString(), expected);
    }
}

TEST(AppValues, TitleAndVersionFromTheIdentity) {
    AppContext context;
    SetAppValues(context, AppIdentity{QStringLiteral("QUIBLEX"), QStringLiteral("Korvane"), 1, 0});
    EXPECT_EQ(context.AppCompanyName, u"QUIBLEX");
    EXPECT_EQ(context.AppProductName, u"Korvane");
    EXPECT_EQ(context.AppTitle, u"QUIBLEX - Korvane");
    EXPECT_EQ(context.AppVersion, u"1.0");
    SetAppValues(context, AppIdentity{QStringLiteral("A"), QStringLiteral("B"), 65535, 65535});
    EXPECT_EQ(context.AppVersion, u"65535.65535");
    EXPECT_EQ(context.AppTitle, u"A - B");
}

TEST(AppValues, WithoutAVersionBlockTheBuildNamesAndVersion65535) {
    QTemporaryDir dir;
    const AppIdentity identity = ReadAppIdentity(dir.filePath(QStringLiteral("missing")));
    EXPECT_EQ(identity.CompanyName, u"QUIBLEX");
    EXPECT_EQ(identity.ProductName, u"Korvane");
    EXPECT_EQ(identity.Major, 65535);
    EXPECT_EQ(identity.Minor, 65535);
}

TEST(SettingsIni, StrictUtf8) {
    const std::pair<QByteArray, bool> cases[] = {
        {QByteArray(), true},
        {QByteArrayLiteral("[General]\nkey=value\n"), true},
        {QByteArrayLiteral("\xEF\xBB\xBF[General]\nname=K\xC3\xB6rvane\n"), true},
        {QByteArrayLiteral("name=\xFF\xFE"), false},
        {QByteArrayLiteral("name=\xC3"), false},         // cut off at the end
        {QByteArrayLiteral("name=\xC0\xAF"), false},     // overlong
        {QByteArrayLiteral("name=\xED\xA0\x80"), false}, // a lone surrogate
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(IsStrictUtf8(bytes), valid) << bytes.toHex().toStdString();
}

TEST(SettingsIni, InvalidFileIsDeletedValidOneKeptMissingOneNotCreated) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));

    {
        auto store = OpenSettingsIni(path);
        ASSERT_TRUE(store);
        EXPECT_TRUE(store->allKeys().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path));

    testmedia::WriteBytes(path, "[General]\nname=K\xC3\xB6rvane\n");
    {
        auto store = OpenSettingsIni(path);
        EXPECT_EQ(store->value(QStringLiteral("name")).toString(),
                  QString::fromUtf8("K\xC3\xB6rvane"));
    }
    EXPECT_TRUE(QFile::exists(path));

    testmedia::WriteBytes(path, "[General]\nname=K\xF6rvane\n");
    {
        auto store = OpenSettingsIni(path);
        EXPECT_TRUE(store->allKeys().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path));
}
