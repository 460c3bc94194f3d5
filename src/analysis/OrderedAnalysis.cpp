#include "analysis/OrderedAnalysis.h"

#include <algorithm>
#include <exception>

OrderedAnalysis::OrderedAnalysis(QStringList paths, int threads, FileReportFunction analyse,
                                 Deliver deliver)
    : m_paths(std::move(paths)), m_analyse(std::move(analyse)), m_deliver(std::move(deliver)),
      m_done(std::size_t(m_paths.size())) {
    const qsizetype count = std::min<qsizetype>(std::max(1, threads), m_paths.size());
    m_threads.reserve(std::size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        m_threads.emplace_back([this] { work(); });
}

OrderedAnalysis::~OrderedAnalysis() {
    m_stop.request_stop();
    m_threads.clear(); // joins
}

int OrderedAnalysis::DefaultThreads() {
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

void OrderedAnalysis::requestStop() {
    m_stop.request_stop();
    // A delivery that began before the stop ends before this returns.
    const std::lock_guard wait(m_delivering);
}

void OrderedAnalysis::wait() {
    for (std::jthread& thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
}

void OrderedAnalysis::work() {
    const std::stop_token stop = m_stop.get_token();
    while (!stop.stop_requested()) {
        const qsizetype index = m_next++;
        if (index >= m_paths.size())
            return;
        const QString& path = m_paths[index];
        FileReport report;
        try {
            report = m_analyse(path, stop);
        } catch (const std::exception& error) {
            report = RaisedReport(path, QString::fromLocal8Bit(error.what()));
        } catch (...) {
            report = RaisedReport(path, QStringLiteral("unknown error"));
        }
        report.Path = path;
        {
            const std::lock_guard lock(m_mutex);
            m_done[std::size_t(index)] = std::move(report);
        }
        deliverReady();
    }
}

// Every thread that finishes a file hands out what is ready; the lock keeps
// the hand-outs one at a time and in order, and the next file's report is
// always handed out by the thread that finished last.
void OrderedAnalysis::deliverReady() {
    const std::lock_guard delivering(m_delivering);
    while (!m_stop.stop_requested() && m_delivered < m_paths.size()) {
        std::optional<FileReport> report;
        {
            const std::lock_guard lock(m_mutex);
            std::optional<FileReport>& slot = m_done[std::size_t(m_delivered)];
            if (!slot)
                return;
            report = std::exchange(slot, std::nullopt);
        }
        m_deliver(m_delivered, std::move(*report));
        ++m_delivered;
    }
}
