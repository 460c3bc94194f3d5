#pragma once

#include "analysis/SourceAssessment.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Both opinions of one file, from one decoding pass.
using AnalyzerFunction = std::function<QualityAndSource(const QString&)>;

// Analyses a list of files ahead of the one that needs its result, on several
// threads, taking them in list order. The consumer asks for the results one
// by one; each result is exactly what a direct call of the analyzer gives,
// including an exception it raised.
class AnalysisAhead : public QObject {
    Q_OBJECT
public:
    AnalysisAhead(const QStringList& paths, int threads, AnalyzerFunction analyze,
                  QObject* parent = nullptr);
    // Starts no further file and waits for the ones under way.
    ~AnalysisAhead() override;

    qsizetype size() const { return m_paths.size(); }
    const QString& path(qsizetype index) const { return m_paths[index]; }
    bool isReady(qsizetype index) const;
    // The result for `index`, or the exception its analysis raised; once.
    QualityAndSource take(qsizetype index);
    // Files not started yet will not be started.
    void cancel();

    // The number of analysis threads to use when the caller has no preference.
    static int DefaultThreads();

signals:
    // Emitted on an analysis thread; connect with a receiver on the GUI thread.
    void resultReady(qsizetype index);

private:
    struct Slot {
        QualityAndSource result;
        std::exception_ptr error;
        bool ready = false;
    };

    void work();

    const QStringList m_paths;
    const AnalyzerFunction m_analyze;
    mutable std::mutex m_mutex;
    std::vector<Slot> m_slots;
    std::atomic<qsizetype> m_next{0};
    std::atomic<bool> m_cancelled{false};
    std::vector<std::jthread> m_threads;
};
