#include "app/AnalysisAhead.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace {

QualityAndSource Echo(const QString& path) {
    if (path.startsWith(u"raise"))
        throw std::runtime_error("analysis raised");
    QualityAndSource result;
    result.Quality.BitrateKbps = path.mid(1).toInt();
    result.Quality.Reason = path;
    result.Source.Source = path;
    return result;
}

QStringList Paths(int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("p%1").arg(i);
    return paths;
}

void WaitReady(AnalysisAhead& ahead, qsizetype index) {
    QElapsedTimer clock;
    clock.start();
    while (!ahead.isReady(index) && clock.elapsed() < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(ahead.isReady(index)) << index;
}

} // namespace

TEST(AnalysisAhead, EveryResultBelongsToItsPathWhateverTheThreadCount) {
    for (int threads : {1, 2, 8}) {
        const QStringList paths = Paths(40);
        AnalysisAhead ahead(paths, threads, Echo);
        ASSERT_EQ(ahead.size(), 40);
        for (qsizetype i = 0; i < paths.size(); ++i) {
            WaitReady(ahead, i);
            const QualityAndSource result = ahead.take(i);
            EXPECT_EQ(result.Quality.Reason, paths[i]) << threads;
            EXPECT_EQ(result.Quality.BitrateKbps, i);
            EXPECT_EQ(result.Source.Source, paths[i]);
        }
    }
}

TEST(AnalysisAhead, ARaisedExceptionComesBackForItsOwnFileOnly) {
    const QStringList paths{QStringLiteral("p0"), QStringLiteral("raise-me"), QStringLiteral("p2")};
    AnalysisAhead ahead(paths, 2, Echo);
    WaitReady(ahead, 0);
    EXPECT_EQ(ahead.take(0).Quality.Reason, u"p0");
    WaitReady(ahead, 1);
    EXPECT_THROW(ahead.take(1), std::runtime_error);
    WaitReady(ahead, 2);
    EXPECT_EQ(ahead.take(2).Quality.Reason, u"p2");
}

TEST(AnalysisAhead, WorksAheadOnSeveralThreadsAtOnce) {
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    auto slow = [&](const QString& path) {
        const int now = ++running;
        int seen = mostAtOnce.load();
        while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        --running;
        return Echo(path);
    };
    AnalysisAhead ahead(Paths(8), 4, slow);
    for (qsizetype i = 0; i < 8; ++i)
        WaitReady(ahead, i);
    EXPECT_GE(mostAtOnce.load(), 2);
    EXPECT_LE(mostAtOnce.load(), 4);
}

TEST(AnalysisAhead, CancelStartsNoFurtherFileAndDestructionWaitsForRunningOnes) {
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    {
        AnalysisAhead ahead(Paths(100), 2, [&](const QString& path) {
            ++started;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++finished;
            return Echo(path);
        });
        WaitReady(ahead, 0);
        ahead.cancel();
    }
    EXPECT_EQ(started.load(), finished.load());
    EXPECT_LT(started.load(), 100);
}

TEST(AnalysisAhead, EmptyListStartsNothing) {
    AnalysisAhead ahead({}, 4, Echo);
    EXPECT_EQ(ahead.size(), 0);
}
