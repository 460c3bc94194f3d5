// Times a folder load in the main window (offscreen): the scan, the analysis
// and the rows, as Add Folder does it, with a given number of analysis threads.
//   korvane-folder-load-bench FOLDER THREADS   (THREADS 0: all cores)
#include "app/AppForm.h"
#include "app/ResultList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER THREADS\n", argv[0]);
        return 64;
    }
    av_log_set_level(AV_LOG_QUIET);
    TAppFormEnvironment environment = TAppFormEnvironment::Standard();
    const int threads = std::atoi(argv[2]);
    if (threads > 0)
        environment.AnalysisThreads = threads;
    TAppForm form(environment);
    form.show();

    QElapsedTimer clock;
    clock.start();
    form.KlasorYukle(QString::fromLocal8Bit(argv[1]));
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("%d %d %.2f\n", environment.AnalysisThreads, form.ListView1->rowCount(), seconds);
    return 0;
}
