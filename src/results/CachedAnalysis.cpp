#include "results/CachedAnalysis.h"

#include "results/ResultCache.h"

QualityAndSource AnalyzeThroughCache(ResultCache* cache, const QString& path,
                                     const std::function<QualityAndSource(const QString&)>& analyze,
                                     std::stop_token stop) {
    if (!cache)
        return analyze(path);
    const std::optional<FileStamp> before = StampOf(path);
    if (before) {
        if (std::optional<QualityAndSource> stored = cache->lookup(*before))
            return std::move(*stored);
    }
    QualityAndSource result = analyze(path);
    // Stamped before and after: a file that was being written meanwhile is
    // analysed again next time rather than kept with a half-written answer.
    if (before && !stop.stop_requested() && StampOf(path) == before)
        cache->store(*before, result);
    return result;
}
