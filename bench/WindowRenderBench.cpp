// The main window's spectrogram, as choosing rows draws it (offscreen): each
// file's row is chosen in turn, and the time until its picture is in the
// panel is printed with the longest the window's event loop stalled
// meanwhile and the process's peak memory. The analysis is skipped (every
// row reads 192 kbps), so only the spectrogram is measured. Last, the first
// row is chosen again and the window closed a second into its render.
//   korvane-window-render-bench FILE...
// Prints one line per file, "seconds width longest_stall_ms", then
// "close_ms N" (how long closing took, the render under way stopped and its
// thread joined) and "peak_kb N".
#include "StallProbe.h"
#include "analysis/DecoderSetup.h"
#include "analysis/FileReport.h"
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "platform/DataFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Runs the event loop until `done` holds, looking every 20 ms; false after `seconds`.
template <typename Condition> bool RunUntil(const Condition& done, double seconds) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > qint64(seconds * 1000.0))
            loop.quit();
    });
    look.start(20);
    loop.exec();
    return done();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 64;
    }
    const DecoderSetup decoder(DecoderLog::Silent);
    AppFormEnvironment environment = AppFormEnvironment::Standard(
        StartAppContext(QCoreApplication::applicationFilePath(), UserDataFolder()));
    environment.Analyze = [](const QString& path, std::stop_token) {
        FileReport report;
        report.Path = path;
        report.Quality.BitrateKbps = 192;
        report.Quality.SampleRate = 44100;
        report.Quality.CutoffHz = 20000;
        return report;
    };
    TAppForm form(environment);
    form.resize(1280, 800);
    form.show();

    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    form.addPaths(files);
    if (!RunUntil([&] { return form.ListView1->rowCount() == files.size(); }, 60.0)) {
        std::fprintf(stderr, "the rows did not arrive\n");
        return 2;
    }

    for (int row = 0; row < files.size(); ++row) {
        const qint64 before = form.SpectrogramBMP.cacheKey();
        QElapsedTimer clock;
        clock.start();
        form.ListView1->clearSelection();
        form.ListView1->selectRow(row);
        StallProbe probe;
        // Until the picture is in and painted: the stretch for the panel is
        // the window's own share of the work.
        if (!RunUntil([&] { return form.SpectrogramBMP.cacheKey() != before && !form.isDrawing(); },
                      3600.0)) {
            std::fprintf(stderr, "no picture for %s\n", argv[row + 1]);
            return 2;
        }
        RunUntil([] { return false; }, 0.1);
        std::printf("%.2f %d %.1f\n", double(clock.nsecsElapsed()) / 1e9,
                    form.SpectrogramBMP.width(), probe.longestMs());
    }

    double closeMs = -1.0;
    if (files.size() > 1) {
        form.ListView1->clearSelection();
        form.ListView1->selectRow(0);
        RunUntil([&] { return form.isDrawing(); }, 5.0);
        RunUntil([] { return false; }, 1.0);
        if (form.isDrawing()) {
            QElapsedTimer closing;
            closing.start();
            form.close();
            closeMs = double(closing.nsecsElapsed()) / 1e6;
        }
    }
    std::printf("close_ms %.1f\n", closeMs);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_kb %ld\n", usage.ru_maxrss);
    return 0;
}
