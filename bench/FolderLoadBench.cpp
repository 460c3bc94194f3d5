// Times a folder load in the main window (offscreen): the scan, the analysis
// and the rows, as Add Folder does it, with a given number of analysis threads.
//   korvane-folder-load-bench FOLDER THREADS   (THREADS 0: all cores; "rows":
//   no analysis at all, to see what the window itself costs per row)
//   korvane-folder-load-bench FOLDER THREADS again   loads it a second time
//   and prints that time too (unchanged files: the stored results)
#include "analysis/DecoderSetup.h"
#include "app/AppForm.h"
#include "app/ResultList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER THREADS\n", argv[0]);
        return 64;
    }
    const DecoderSetup decoder(DecoderLog::Silent);
    TAppFormEnvironment environment = TAppFormEnvironment::Standard();
    if (std::strcmp(argv[2], "rows") == 0) {
        environment.Analyze = [](const QString&) {
            TAudioQualityResult result;
            result.BitrateKbps = 320;
            result.SampleRate = 44100;
            result.CutoffHz = 20000;
            return result;
        };
    } else if (const int threads = std::atoi(argv[2]); threads > 0) {
        environment.AnalysisThreads = threads;
    }
    TAppForm form(environment);
    form.show();

    QElapsedTimer clock;
    clock.start();
    form.KlasorYukle(QString::fromLocal8Bit(argv[1]));
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (argc > 3 && std::strcmp(argv[3], "again") == 0) {
        const int rows = form.ListView1->rowCount();
        form.Clear1Click();
        clock.restart();
        form.KlasorYukle(QString::fromLocal8Bit(argv[1]));
        const double again = double(clock.nsecsElapsed()) / 1e9;
        std::printf("%d %d %.3f %.3f\n", environment.AnalysisThreads, rows, seconds, again);
        return 0;
    }
    std::printf("%d %d %.2f\n", environment.AnalysisThreads, form.ListView1->rowCount(), seconds);
    return 0;
}
