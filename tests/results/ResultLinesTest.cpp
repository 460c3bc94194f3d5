// The CSV and JSON lines shared by korvane-cli and the window's export.
#include "results/ResultLines.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

TAudioQualityResult Likely() {
    TAudioQualityResult r;
    r.SampleRate = 44100;
    r.BitrateKbps = 320;
    r.CutoffHz = 16000.5f;
    r.SharpCutoff = true;
    r.Verdict = qvLikely;
    r.IsSuspicious = true;
    r.Reason = QStringLiteral("Cutoff 16.0 kHz, \"sharp\"");
    return r;
}

} // namespace

TEST(ResultLines, CsvFieldQuotesOnlyWhatNeedsIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain.mp3", "plain.mp3"},
        {"", ""},
        {"a,b.mp3", "\"a,b.mp3\""},
        {"say \"hi\".mp3", "\"say \"\"hi\"\".mp3\""},
        {"two\nlines", "\"two\nlines\""},
        {"carriage\rreturn", "\"carriage\rreturn\""},
        {"semi;colon tab\t", "semi;colon tab\t"},
    };
    for (auto [text, expected] : cases)
        EXPECT_EQ(CsvField(QString::fromUtf8(text)), QString::fromUtf8(expected)) << text;
}

TEST(ResultLines, CsvLineHasTheHeadersFieldsInOrder) {
    EXPECT_EQ(
        CsvHeaderLine(),
        QStringLiteral(
            "path,bitrate_kbps,sample_rate,cutoff_hz,sharp_cutoff,verdict,suspicious,reason"));
    EXPECT_EQ(CsvLine(QStringLiteral("/m/Björk, live.flac"), Likely()),
              QStringLiteral("\"/m/Björk, live.flac\",320,44100,16000.5,true,Likely,true,"
                             "\"Cutoff 16.0 kHz, \"\"sharp\"\"\""));
    TAudioQualityResult error;
    error.Verdict = qvError;
    error.Reason = QStringLiteral("No usable audio");
    EXPECT_EQ(CsvLine(QStringLiteral("x.wav"), error),
              QStringLiteral("x.wav,0,0,0,false,Error,false,No usable audio"));
}

TEST(ResultLines, JsonLineIsOneLineThatReadsBackToTheSameValues) {
    // A name may hold anything but "/" and NUL: line breaks and control characters too.
    const QString path = QStringLiteral("/m/a\nb\x01\"c\"\u00e9.mp3");
    const QString line = JsonLine(path, Likely());
    EXPECT_FALSE(line.contains(u'\n'));
    const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
    EXPECT_EQ(o.value(u"path").toString(), path);
    EXPECT_EQ(o.value(u"bitrate_kbps").toInt(), 320);
    EXPECT_EQ(o.value(u"sample_rate").toInt(), 44100);
    EXPECT_EQ(float(o.value(u"cutoff_hz").toDouble()), 16000.5f);
    EXPECT_TRUE(o.value(u"sharp_cutoff").toBool());
    EXPECT_EQ(o.value(u"verdict").toString(), QStringLiteral("Likely"));
    EXPECT_TRUE(o.value(u"suspicious").toBool());
    EXPECT_EQ(o.value(u"reason").toString(), Likely().Reason);
}
