// Times a folder load in the main window (offscreen): the scan, the analysis
// and the rows, as Add Folder does it, with a given number of analysis
// threads, and the longest the window's event loop stalled meanwhile.
//   korvane-folder-load-bench FOLDER THREADS [STOP_AFTER_SECONDS]
//   (THREADS 0: all cores; "rows": no analysis at all, to see what the window
//   itself costs per row; STOP_AFTER_SECONDS: press Stop then, and time it)
#include "StallProbe.h"
#include "analysis/DecoderSetup.h"
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "platform/DataFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER THREADS [STOP_AFTER_SECONDS]\n", argv[0]);
        return 64;
    }
    const DecoderSetup decoder(DecoderLog::Silent);
    AppFormEnvironment environment = AppFormEnvironment::Standard(
        StartAppContext(QCoreApplication::applicationFilePath(), UserDataFolder()));
    if (std::strcmp(argv[2], "rows") == 0) {
        environment.Analyze = [](const QString& path, std::stop_token) {
            FileReport report;
            report.Path = path;
            report.Quality.BitrateKbps = 320;
            report.Quality.SampleRate = 44100;
            report.Quality.CutoffHz = 20000;
            return report;
        };
    } else if (const int threads = std::atoi(argv[2]); threads > 0) {
        environment.AnalysisThreads = threads;
    }
    const double stopAfter = argc > 3 ? std::atof(argv[3]) : 0.0;
    TAppForm form(environment);
    form.show();

    QElapsedTimer clock;
    double seconds = 0.0;
    double stopMs = -1.0;
    int rowsAtStop = -1;
    QObject::connect(&form, &TAppForm::loadFinished, &form, [&] {
        seconds = double(clock.nsecsElapsed()) / 1e9;
        QTimer::singleShot(0, &application, &QApplication::quit);
    });
    std::unique_ptr<StallProbe> probe;
    QTimer::singleShot(100, &form, [&] {
        probe = std::make_unique<StallProbe>();
        clock.start();
        form.KlasorYukle(QString::fromLocal8Bit(argv[1]));
        if (stopAfter > 0.0) {
            QTimer::singleShot(int(stopAfter * 1000), &form, [&] {
                QElapsedTimer stopping;
                stopping.start();
                form.StopLoading(); // returns once no row can come any more
                stopMs = double(stopping.nsecsElapsed()) / 1e6;
                rowsAtStop = form.ListView1->rowCount();
            });
        }
    });
    application.exec();
    // threads, rows, seconds, longest stall (ms), Stop's own time (ms), rows
    // that came after Stop returned
    std::printf("%d %d %.2f %.1f %.1f %d\n", environment.AnalysisThreads,
                form.ListView1->rowCount(), seconds, probe ? probe->longestMs() : 0.0, stopMs,
                rowsAtStop < 0 ? 0 : form.ListView1->rowCount() - rowsAtStop);
    return 0;
}
