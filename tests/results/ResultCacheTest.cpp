// Results kept between runs: hits only for the same file in the same state
// under the same analysis, and never fatal or wrong when the database is not
// what it should be.
#include "results/ResultCache.h"

#include "results/CachedAnalysis.h"
#include "results/StoredReport.h"
#include "support/SameQuality.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

using namespace testmedia;

namespace {

QualityAndSource Sample(int n) {
    QualityAndSource sample;
    TAudioQualityResult& r = sample.Quality;
    r.SampleRate = 44100;
    r.BitrateKbps = 100 + n;
    r.CutoffHz = 15000.25f + float(n);
    r.SharpCutoff = n % 2 == 0;
    r.Verdict = TQualityVerdict(n % 4);
    r.IsSuspicious = r.Verdict == qvPossible || r.Verdict == qvLikely;
    r.Reason = QStringLiteral("reason %1, \"quoted\" ü").arg(n);
    SourceAssessment& a = sample.Source;
    a.Kind = Assessment(n % 6);
    a.Source = n % 3 == 0 ? QString() : QStringLiteral("MP3 ~%1 kbps").arg(128 + n);
    a.Explanation = QStringLiteral("explanation %1, \"quoted\" ü").arg(n);
    SourceEvidence& e = a.Evidence;
    e.Codec = n % 2 ? StreamCodec::Flac : StreamCodec::Mp3;
    e.WallHz = 16000.125f + float(n);
    e.KneeHz = 15012.3f + float(n);
    e.WallDropDb = 41.7f;
    e.WallSlopeDbPerKHz = 123.456f;
    e.AboveWallDb = -117.3f - float(n);
    e.HoleRate = 0.1234567f;
    e.HoleHz = 15330.0f;
    e.HoleBaseline = 0.0123f;
    e.OwnWallHz = n % 2 ? 0.0f : 19800.0f;
    e.Frames = 1000 + n;
    e.EdgeFrames = 300 + n;
    e.InnerCutRate = 0.3456789f;
    e.AbruptRate = 0.0123456f + float(n) / 100.0f;
    e.Edge20kRate = 0.75f;
    return sample;
}

void ExpectSame(const QualityAndSource& x, const QualityAndSource& y) {
    ExpectSameQuality(x.Quality, y.Quality);
    const SourceAssessment& p = x.Source;
    const SourceAssessment& q = y.Source;
    EXPECT_EQ(p.Kind, q.Kind);
    EXPECT_EQ(p.Source, q.Source);
    EXPECT_EQ(p.Explanation, q.Explanation);
    EXPECT_EQ(p.Evidence.Codec, q.Evidence.Codec);
    EXPECT_EQ(p.Evidence.WallHz, q.Evidence.WallHz);
    EXPECT_EQ(p.Evidence.KneeHz, q.Evidence.KneeHz);
    EXPECT_EQ(p.Evidence.WallDropDb, q.Evidence.WallDropDb);
    EXPECT_EQ(p.Evidence.WallSlopeDbPerKHz, q.Evidence.WallSlopeDbPerKHz);
    EXPECT_EQ(p.Evidence.AboveWallDb, q.Evidence.AboveWallDb);
    EXPECT_EQ(p.Evidence.HoleRate, q.Evidence.HoleRate);
    EXPECT_EQ(p.Evidence.HoleHz, q.Evidence.HoleHz);
    EXPECT_EQ(p.Evidence.HoleBaseline, q.Evidence.HoleBaseline);
    EXPECT_EQ(p.Evidence.OwnWallHz, q.Evidence.OwnWallHz);
    EXPECT_EQ(p.Evidence.Frames, q.Evidence.Frames);
    EXPECT_EQ(p.Evidence.EdgeFrames, q.Evidence.EdgeFrames);
    EXPECT_EQ(p.Evidence.InnerCutRate, q.Evidence.InnerCutRate);
    EXPECT_EQ(p.Evidence.AbruptRate, q.Evidence.AbruptRate);
    EXPECT_EQ(p.Evidence.Edge20kRate, q.Evidence.Edge20kRate);
}

FileStamp Stamp(int n) {
    return FileStamp{QStringLiteral("/music/file %1.flac").arg(n), 1000 + n,
                     1'700'000'000'123'456'789};
}

void SetModified(const QString& path, qint64 seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

class ResultCacheTest : public ::testing::Test {
protected:
    QString dbPath() const { return dir.filePath(QStringLiteral("cache/results.sqlite")); }
    std::unique_ptr<ResultCache> open(const QString& version = QStringLiteral("v1")) {
        return std::make_unique<ResultCache>(dbPath(), version,
                                             [this](const QString& m) { warnings << m; });
    }
    QTemporaryDir dir;
    QStringList warnings;
};

} // namespace

TEST(StoredReport, ReadsBackWhatWasWritten) {
    for (int n = 0; n < 6; ++n) {
        const auto back = DecodeStoredReport(EncodeStoredReport(Sample(n)));
        ASSERT_TRUE(back.has_value()) << n;
        ExpectSame(*back, Sample(n));
    }
}

TEST(StoredReport, AnythingIncompleteOrOutOfRangeReadsAsNothing) {
    const char* cases[] = {
        "",
        "not json",
        "[]",
        R"({"sample_rate":44100,"bitrate_kbps":320,"cutoff_hz":1,"sharp_cutoff":true,"verdict":0,"suspicious":false})",
        R"({"sample_rate":44100,"bitrate_kbps":320,"cutoff_hz":1,"sharp_cutoff":true,"verdict":4,"suspicious":false,"reason":""})",
        R"({"sample_rate":-1,"bitrate_kbps":320,"cutoff_hz":1,"sharp_cutoff":true,"verdict":0,"suspicious":false,"reason":""})",
        R"({"sample_rate":44100.5,"bitrate_kbps":320,"cutoff_hz":1,"sharp_cutoff":true,"verdict":0,"suspicious":false,"reason":""})",
        R"({"sample_rate":44100,"bitrate_kbps":"320","cutoff_hz":1,"sharp_cutoff":true,"verdict":0,"suspicious":false,"reason":""})",
        R"({"sample_rate":44100,"bitrate_kbps":320,"cutoff_hz":1,"sharp_cutoff":1,"verdict":0,"suspicious":false,"reason":""})",
        R"({"sample_rate":44100,"bitrate_kbps":320,"cutoff_hz":1,"sharp_cutoff":true,"verdict":0,"suspicious":false,"reason":null})",
    };
    for (const char* text : cases)
        EXPECT_FALSE(DecodeStoredReport(QByteArray(text)).has_value()) << text;

    // A whole report with one field of the second opinion missing or unsound.
    const QJsonObject whole = QJsonDocument::fromJson(EncodeStoredReport(Sample(1))).object();
    ASSERT_TRUE(DecodeStoredReport(QJsonDocument(whole).toJson()).has_value());
    struct Change {
        const char* Key;     // top-level key, or "evidence/<key>"
        QJsonValue NewValue; // Undefined: the key is removed
    };
    const Change changes[] = {
        {"assessment", QJsonValue(QJsonValue::Undefined)},
        {"assessment", 6},
        {"assessment", -1},
        {"assessment", 1.5},
        {"source", QJsonValue::Null},
        {"explanation", 3},
        {"evidence", QJsonValue(QJsonValue::Undefined)},
        {"evidence", QStringLiteral("none")},
        {"evidence/codec", -1},
        {"evidence/frames", QJsonValue(QJsonValue::Undefined)},
        {"evidence/edge_frames", -3},
        {"evidence/abrupt_rate", QJsonValue(QJsonValue::Undefined)},
        {"evidence/wall_hz", QJsonValue(QJsonValue::Undefined)},
        {"evidence/hole_rate", QStringLiteral("0.1")},
        {"evidence/own_wall_hz", QJsonValue::Null},
    };
    for (const Change& change : changes) {
        QJsonObject object = whole;
        const QString key = QString::fromLatin1(change.Key);
        if (key.startsWith(QStringLiteral("evidence/"))) {
            QJsonObject evidence = object.value(QStringLiteral("evidence")).toObject();
            if (change.NewValue.isUndefined())
                evidence.remove(key.mid(9));
            else
                evidence.insert(key.mid(9), change.NewValue);
            object.insert(QStringLiteral("evidence"), evidence);
        } else if (change.NewValue.isUndefined()) {
            object.remove(key);
        } else {
            object.insert(key, change.NewValue);
        }
        EXPECT_FALSE(DecodeStoredReport(QJsonDocument(object).toJson()).has_value()) << change.Key;
    }
}

TEST_F(ResultCacheTest, HitsOnlyForTheSameFileStateAndVersion) {
    {
        auto cache = open();
        ASSERT_TRUE(cache->isActive());
        EXPECT_FALSE(cache->lookup(Stamp(1)).has_value());
        cache->store(Stamp(1), Sample(1));
        cache->store(Stamp(2), Sample(2));
    }
    auto cache = open(); // a later run
    const auto hit = cache->lookup(Stamp(1));
    ASSERT_TRUE(hit.has_value());
    ExpectSame(*hit, Sample(1));

    FileStamp otherSize = Stamp(1), otherTime = Stamp(1), otherPath = Stamp(1);
    otherSize.Size += 1;
    otherTime.ModifiedNs += 1; // rewritten within the same second
    otherPath.CanonicalPath += u'x';
    for (const FileStamp& stamp : {otherSize, otherTime, otherPath})
        EXPECT_FALSE(cache->lookup(stamp).has_value()) << stamp.CanonicalPath.toStdString();
    EXPECT_FALSE(open(QStringLiteral("v2"))->lookup(Stamp(1)).has_value())
        << "another analysis version analyses again";

    // A new state replaces the old one rather than piling up beside it.
    cache->store(otherTime, Sample(3));
    ExpectSame(*cache->lookup(otherTime), Sample(3));
    EXPECT_FALSE(cache->lookup(Stamp(1)).has_value());
    EXPECT_EQ(cache->size(), 2);

    EXPECT_TRUE(cache->clear());
    EXPECT_EQ(cache->size(), 0);
    EXPECT_FALSE(cache->lookup(Stamp(2)).has_value());
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

TEST_F(ResultCacheTest, AnalysesOnAMissAndAgainWhenTheFileChangesInPlace) {
    const QString file = WriteBytes(dir.filePath(QStringLiteral("song.flac")), "first");
    SetModified(file, 1'700'000'000, 100);
    auto cache = open();
    int calls = 0;
    auto analyze = [&calls](const QString&) { return Sample(++calls); };

    ExpectSame(AnalyzeThroughCache(cache.get(), file, analyze), Sample(1));
    ExpectSame(AnalyzeThroughCache(cache.get(), file, analyze), Sample(1));
    // Through a link it is the same file.
    ASSERT_TRUE(QFile::link(file, dir.filePath(QStringLiteral("link.flac"))));
    ExpectSame(AnalyzeThroughCache(cache.get(), dir.filePath(QStringLiteral("link.flac")), analyze),
               Sample(1));
    EXPECT_EQ(calls, 1);

    // Same size, same second, another nanosecond: a different file now.
    WriteBytes(file, "other");
    SetModified(file, 1'700'000'000, 101);
    ExpectSame(AnalyzeThroughCache(cache.get(), file, analyze), Sample(2));
    EXPECT_EQ(calls, 2);

    // A file that grows while it is analysed is not kept.
    const QString growing = WriteBytes(dir.filePath(QStringLiteral("growing.flac")), "start");
    auto appending = [&](const QString& path) {
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::Append));
        out.write("more");
        return Sample(++calls);
    };
    AnalyzeThroughCache(cache.get(), growing, appending);
    AnalyzeThroughCache(cache.get(), growing, appending);
    EXPECT_EQ(calls, 4);

    // What the analysis raises passes through, and nothing is stored.
    const QString other = WriteBytes(dir.filePath(QStringLiteral("raises.flac")), "x");
    auto raising = [](const QString&) -> QualityAndSource { throw std::runtime_error("boom"); };
    EXPECT_THROW(AnalyzeThroughCache(cache.get(), other, raising), std::runtime_error);
    EXPECT_EQ(cache->size(), 1);

    // A result made after a stop was asked for may be cut short: not kept.
    const QString stopped = WriteBytes(dir.filePath(QStringLiteral("stopped.flac")), "s");
    std::stop_source stopSource;
    stopSource.request_stop();
    AnalyzeThroughCache(cache.get(), stopped, analyze, stopSource.get_token());
    EXPECT_EQ(cache->size(), 1);
    calls -= 1;

    // A missing file is simply analysed (its row says what went wrong).
    AnalyzeThroughCache(cache.get(), dir.filePath(QStringLiteral("missing.flac")), analyze);
    AnalyzeThroughCache(cache.get(), dir.filePath(QStringLiteral("missing.flac")), analyze);
    EXPECT_EQ(calls, 6);
}

TEST_F(ResultCacheTest, ADamagedDatabaseIsMovedAsideAndStartedAnew) {
    QDir().mkpath(QFileInfo(dbPath()).path());
    WriteBytes(dbPath(), QByteArray(8192, 'x'));
    auto cache = open();
    EXPECT_TRUE(cache->isActive());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("damaged"))) << warnings[0].toStdString();
    EXPECT_EQ(ReadAll(dbPath() + QStringLiteral(".damaged")), QByteArray(8192, 'x'));
    cache->store(Stamp(1), Sample(1));
    ExpectSame(*cache->lookup(Stamp(1)), Sample(1));
}

TEST_F(ResultCacheTest, ATruncatedDatabaseNeverGivesAWrongRow) {
    {
        auto cache = open();
        for (int n = 0; n < 400; ++n)
            cache->store(Stamp(n), Sample(n));
    }
    // Cut it in the middle, as a full disk or a crash of the copy might.
    QFile file(dbPath());
    ASSERT_TRUE(file.resize(file.size() / 2));

    auto cache = open();
    int hits = 0;
    for (int n = 0; n < 400; ++n) {
        if (const auto found = cache->lookup(Stamp(n))) {
            ExpectSame(*found, Sample(n));
            ++hits;
        }
    }
    EXPECT_LT(hits, 400);
    // Still usable afterwards, whatever it decided.
    cache->store(Stamp(1000), Sample(1));
    if (cache->isActive())
        ExpectSame(*cache->lookup(Stamp(1000)), Sample(1));
    EXPECT_FALSE(warnings.isEmpty()) << "the damage is reported";
}

TEST_F(ResultCacheTest, AnAlteredRowIsNotBelieved) {
    open()->store(Stamp(1), Sample(1));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dbPath()).constData(), &db), SQLITE_OK);
    const QByteArray changed = EncodeStoredReport(Sample(2));
    const QByteArray sql = "UPDATE results SET report = '" + changed + "'";
    EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_FALSE(open()->lookup(Stamp(1)).has_value());
}

TEST_F(ResultCacheTest, AnUnusablePlaceIsSkippedWithAWarning) {
    // A file where its folder should be: no one, root included, can create it.
    WriteBytes(dir.filePath(QStringLiteral("cache")), "a file, not a folder");
    auto cache = open();
    EXPECT_FALSE(cache->isActive());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(dbPath())) << warnings[0].toStdString();
    EXPECT_FALSE(cache->lookup(Stamp(1)).has_value());
    cache->store(Stamp(1), Sample(1));
    EXPECT_FALSE(cache->clear());
    int calls = 0;
    const QString file = WriteBytes(dir.filePath(QStringLiteral("a.wav")), "x");
    for (int i = 0; i < 2; ++i)
        AnalyzeThroughCache(cache.get(), file,
                            [&calls](const QString&) { return Sample(++calls); });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(warnings.size(), 1) << "one warning, not one per file";
}

TEST_F(ResultCacheTest, SeveralConnectionsWriteAndReadAtOnce) {
    // Two connections stand for two processes; each has threads of its own.
    auto first = open();
    auto second = open();
    std::atomic<int> wrong{0};
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
        ResultCache* cache = t % 2 ? first.get() : second.get();
        threads.emplace_back([cache, t, &wrong] {
            for (int n = t; n < 600; n += 4) {
                cache->store(Stamp(n), Sample(n));
                const auto other = cache->lookup(Stamp((n * 7) % 600));
                if (other &&
                    other->Quality.BitrateKbps != Sample((n * 7) % 600).Quality.BitrateKbps)
                    ++wrong;
            }
        });
    }
    threads.clear();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(first->size(), 600);
    for (int n = 0; n < 600; ++n)
        ASSERT_TRUE(second->lookup(Stamp(n)).has_value()) << n;
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}
