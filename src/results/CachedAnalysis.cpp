#include "results/CachedAnalysis.h"

#include "results/ResultCache.h"

TAudioQualityResult
AnalyzeThroughCache(ResultCache* cache, const QString& path,
                    const std::function<TAudioQualityResult(const QString&)>& analyze,
                    std::stop_token stop) {
    if (!cache)
        return analyze(path);
    const std::optional<FileStamp> before = StampOf(path);
    if (before) {
        if (std::optional<TAudioQualityResult> stored = cache->lookup(*before))
            return std::move(*stored);
    }
    TAudioQualityResult result = analyze(path);
    // Stamped before and after: a file that was being written meanwhile is
    // analysed again next time rather than kept with a half-written answer.
    if (before && !stop.stop_requested() && StampOf(path) == before)
        cache->store(*before, result);
    return result;
}
