#include "analysis/AnalysisVersion.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
}

QString AnalysisVersionText() {
    return QStringLiteral("%1 avcodec %2 avformat %3 avutil %4 swresample %5")
        .arg(kAnalysisVersion)
        .arg(avcodec_version())
        .arg(avformat_version())
        .arg(avutil_version())
        .arg(swresample_version());
}
