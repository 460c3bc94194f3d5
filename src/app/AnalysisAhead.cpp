#include "app/AnalysisAhead.h"

#include <algorithm>

AnalysisAhead::AnalysisAhead(const QStringList& paths, int threads, AnalyzerFunction analyze,
                             QObject* parent)
    : QObject(parent), m_paths(paths), m_analyze(std::move(analyze)),
      m_slots(std::size_t(paths.size())) {
    const qsizetype count = std::min<qsizetype>(std::max(1, threads), m_paths.size());
    m_threads.reserve(std::size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        m_threads.emplace_back([this] { work(); });
}

AnalysisAhead::~AnalysisAhead() {
    cancel();
    m_threads.clear(); // joins
}

int AnalysisAhead::DefaultThreads() {
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

void AnalysisAhead::cancel() {
    m_cancelled.store(true);
}

void AnalysisAhead::work() {
    while (!m_cancelled.load()) {
        const qsizetype index = m_next++;
        if (index >= m_paths.size())
            return;
        Slot done;
        try {
            done.result = m_analyze(m_paths[index]);
        } catch (...) {
            done.error = std::current_exception();
        }
        done.ready = true;
        {
            std::lock_guard lock(m_mutex);
            m_slots[std::size_t(index)] = std::move(done);
        }
        emit resultReady(index);
    }
}

bool AnalysisAhead::isReady(qsizetype index) const {
    std::lock_guard lock(m_mutex);
    return m_slots[std::size_t(index)].ready;
}

QualityAndSource AnalysisAhead::take(qsizetype index) {
    Slot slot;
    {
        std::lock_guard lock(m_mutex);
        slot = std::move(m_slots[std::size_t(index)]);
        m_slots[std::size_t(index)] = Slot{};
    }
    if (slot.error)
        std::rethrow_exception(slot.error);
    return slot.result;
}
