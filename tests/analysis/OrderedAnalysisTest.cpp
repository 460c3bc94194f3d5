// The ordered analysis under the window and korvane-cli: reports in list
// order whatever order the files finish in, raised analyses kept to their own
// file, work on several threads at once, and a stop that ends it all.
#include "analysis/OrderedAnalysis.h"

#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

FileReport Echo(const QString& path, std::stop_token) {
    if (path.startsWith(u"raise"))
        throw std::runtime_error("analysis raised");
    FileReport report;
    report.Quality.BitrateKbps = path.mid(1).toInt();
    report.Quality.Reason = path;
    report.Source.Kind = Assessment::Clean;
    report.Source.Source = path;
    return report;
}

QStringList Paths(int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("p%1").arg(i);
    return paths;
}

// What a run delivered, in the order it was delivered.
struct Deliveries {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<qsizetype, FileReport>> got;

    OrderedAnalysis::Deliver sink() {
        return [this](qsizetype index, FileReport report) {
            const std::lock_guard lock(mutex);
            got.emplace_back(index, std::move(report));
            changed.notify_all();
        };
    }
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return got.size() >= count; });
    }
    std::size_t size() {
        const std::lock_guard lock(mutex);
        return got.size();
    }
};

// Files are let through one by one by the test; a stop lets everything
// waiting go at once, as a decoder's next read would.
class Gate {
public:
    FileReport analyse(const QString& path, std::stop_token stop) {
        {
            std::unique_lock lock(m_mutex);
            m_entered.insert(path);
            ++m_waiting;
            m_changed.notify_all();
            std::condition_variable_any& changed = m_changed;
            changed.wait(lock, stop, [&] { return m_open.count(path) > 0; });
            --m_waiting;
        }
        return Echo(path, stop);
    }
    void open(const QString& path) {
        const std::lock_guard lock(m_mutex);
        m_open.insert(path);
        m_changed.notify_all();
    }
    // Waits until `count` analyses wait at the gate.
    bool waitForWaiting(int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 20s, [&] { return m_waiting >= count; });
    }
    // The files whose analysis began.
    std::set<QString> entered() {
        const std::lock_guard lock(m_mutex);
        return m_entered;
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::set<QString> m_open;
    std::set<QString> m_entered;
    int m_waiting = 0;
};

} // namespace

TEST(OrderedAnalysis, EveryReportBelongsToItsPathAndComesInListOrderWhateverTheThreadCount) {
    for (int threads : {1, 2, 8}) {
        const QStringList paths = Paths(40);
        Deliveries deliveries;
        OrderedAnalysis run(paths, threads, Echo, deliveries.sink());
        run.wait();
        ASSERT_EQ(deliveries.got.size(), 40u) << threads;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const auto& [index, report] = deliveries.got[std::size_t(i)];
            EXPECT_EQ(index, i) << threads;
            EXPECT_EQ(report.Path, paths[i]);
            EXPECT_EQ(report.Quality.Reason, paths[i]);
            EXPECT_EQ(report.Quality.BitrateKbps, i);
            EXPECT_FALSE(report.Raised);
        }
    }
}

// The later files finish first; nothing is handed out before the first one,
// and then everything ready comes at once, in order.
TEST(OrderedAnalysis, ALaterFileThatFinishesFirstWaitsForTheOnesBeforeIt) {
    Gate gate;
    const QStringList paths = Paths(4);
    Deliveries deliveries;
    OrderedAnalysis run(
        paths, 4,
        [&](const QString& path, std::stop_token stop) { return gate.analyse(path, stop); },
        deliveries.sink());
    ASSERT_TRUE(gate.waitForWaiting(4));
    gate.open(paths[3]);
    gate.open(paths[2]);
    gate.open(paths[1]);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(deliveries.size(), 0u);
    gate.open(paths[0]);
    ASSERT_TRUE(deliveries.waitFor(4));
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(deliveries.got[i].first, qsizetype(i));
}

TEST(OrderedAnalysis, ARaisedAnalysisIsARaisedReportOfItsOwnFileOnly) {
    const QStringList paths{QStringLiteral("p0"), QStringLiteral("raise-me"), QStringLiteral("p2")};
    Deliveries deliveries;
    OrderedAnalysis run(paths, 2, Echo, deliveries.sink());
    run.wait();
    ASSERT_EQ(deliveries.got.size(), 3u);
    EXPECT_FALSE(deliveries.got[0].second.Raised);
    EXPECT_TRUE(deliveries.got[1].second.Raised);
    EXPECT_EQ(deliveries.got[1].second.Path, u"raise-me");
    EXPECT_EQ(deliveries.got[1].second.RaisedReason, u"analysis raised");
    EXPECT_FALSE(deliveries.got[2].second.Raised);
    EXPECT_EQ(deliveries.got[2].second.Quality.Reason, u"p2");

    // korvane-cli lists it as an error row that says why.
    const TAudioQualityResult row = ResultOrFailure(deliveries.got[1].second);
    EXPECT_EQ(row.Verdict, qvError);
    EXPECT_EQ(row.Reason, u"Analysis failed: analysis raised");
    EXPECT_EQ(ResultOrFailure(deliveries.got[2].second).Reason, u"p2");
    // Its assessment is an error too; the others keep their own.
    EXPECT_EQ(AssessmentOrFailure(deliveries.got[1].second).Kind, Assessment::Error);
    EXPECT_FALSE(AssessmentOrFailure(deliveries.got[1].second).Explanation.isEmpty());
    EXPECT_EQ(AssessmentOrFailure(deliveries.got[2].second).Kind, Assessment::Clean);
    EXPECT_EQ(AssessmentOrFailure(deliveries.got[2].second).Source, u"p2");
}

TEST(OrderedAnalysis, WorksOnSeveralFilesAtOnceButNoMoreThanItsThreads) {
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    auto slow = [&](const QString& path, std::stop_token stop) {
        const int now = ++running;
        int seen = mostAtOnce.load();
        while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(30ms);
        --running;
        return Echo(path, stop);
    };
    Deliveries deliveries;
    OrderedAnalysis run(Paths(8), 4, slow, deliveries.sink());
    run.wait();
    EXPECT_EQ(deliveries.got.size(), 8u);
    EXPECT_GE(mostAtOnce.load(), 2);
    EXPECT_LE(mostAtOnce.load(), 4);
}

// Files 3 and 4 wait at the gate; the stop reaches them through their token,
// nothing more is delivered, and no further file is started.
TEST(OrderedAnalysis, AStopEndsTheFilesUnderWayDeliversNothingMoreAndStartsNoOther) {
    Gate gate;
    const QStringList paths = Paths(100);
    for (int i = 0; i < 3; ++i)
        gate.open(paths[i]);
    Deliveries deliveries;
    OrderedAnalysis run(
        paths, 2,
        [&](const QString& path, std::stop_token stop) { return gate.analyse(path, stop); },
        deliveries.sink());
    ASSERT_TRUE(deliveries.waitFor(3));
    ASSERT_TRUE(gate.waitForWaiting(2));
    run.requestStop();
    EXPECT_EQ(deliveries.size(), 3u);
    run.wait(); // returns: the waiting analyses saw their token
    EXPECT_EQ(deliveries.size(), 3u) << "the reports of the stopped files are dropped";
    EXPECT_EQ(gate.entered().size(), 5u);
    EXPECT_TRUE(run.stopRequested());
}

TEST(OrderedAnalysis, DestroyingARunStopsItAndWaitsForItsThreads) {
    Gate gate;
    std::atomic<int> finished{0};
    {
        OrderedAnalysis run(
            Paths(10), 3,
            [&](const QString& path, std::stop_token stop) {
                FileReport report = gate.analyse(path, stop);
                ++finished;
                return report;
            },
            [](qsizetype, FileReport) {});
        ASSERT_TRUE(gate.waitForWaiting(3));
    }
    // Every analysis that started has ended by the time the destructor returned.
    EXPECT_EQ(finished.load(), 3);
}

TEST(OrderedAnalysis, AnEmptyListStartsNothingAndWaitReturns) {
    Deliveries deliveries;
    OrderedAnalysis run({}, 4, Echo, deliveries.sink());
    run.wait();
    EXPECT_EQ(run.size(), 0);
    EXPECT_EQ(deliveries.got.size(), 0u);
}
