#pragma once

#include "analysis/FileReport.h"

#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

// Analyses a list of files on up to N threads, taking them in list order, and
// hands the reports out in list order, each as soon as it and every report
// before it are known. What the unit of work raises becomes a raised report
// of that file alone. The window and korvane-cli both run their analyses
// through it.
//
// Reports are handed to `deliver` on the analysis threads, one at a time and
// in order. Once stop is requested nothing more is delivered, the files under
// way end at their decoder's next read, and no further file is started. The
// destructor stops and waits for the threads.
class OrderedAnalysis {
public:
    using Deliver = std::function<void(qsizetype index, FileReport report)>;

    OrderedAnalysis(QStringList paths, int threads, FileReportFunction analyse, Deliver deliver);
    ~OrderedAnalysis();
    OrderedAnalysis(const OrderedAnalysis&) = delete;
    OrderedAnalysis& operator=(const OrderedAnalysis&) = delete;

    qsizetype size() const { return m_paths.size(); }

    // When it returns, no delivery is under way and none will follow. Not to
    // be called from within `deliver`.
    void requestStop();
    bool stopRequested() const { return m_stop.stop_requested(); }

    // Waits until every report has been delivered, or the run was stopped and
    // its threads have ended.
    void wait();

    // The number of analysis threads to use when the caller has no preference.
    static int DefaultThreads();

private:
    void work();
    void deliverReady();

    const QStringList m_paths;
    const FileReportFunction m_analyse;
    const Deliver m_deliver;
    std::stop_source m_stop;
    std::atomic<qsizetype> m_next{0};

    std::mutex m_mutex; // guards m_done
    std::vector<std::optional<FileReport>> m_done;

    std::mutex m_delivering; // held while reports are handed out
    qsizetype m_delivered = 0;

    std::vector<std::jthread> m_threads;
};
