// The window's export of 10,000 rows, timed: the lines made and written.
#include "results/ResultExport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QList<ExportRow> rows;
    for (int i = 0; i < 10000; ++i) {
        TAudioQualityResult r;
        r.SampleRate = 44100;
        r.BitrateKbps = 320;
        r.CutoffHz = 16000.25f + float(i % 100);
        r.SharpCutoff = true;
        r.Verdict = qvLikely;
        r.IsSuspicious = true;
        r.Reason = QStringLiteral("Cutoff 16.0 kHz is below the ~19.0 kHz expected for 320 kbps "
                                  "(sharp lowpass, typical of re-encoding)");
        rows.append({QStringLiteral("/home/user/Music/Artist %1/Album, \"Live\"/%2 Track.mp3")
                         .arg(i / 12)
                         .arg(i % 12),
                     r,
                     {}});
    }
    QTemporaryDir dir;
    std::printf("\nExport of %lld rows from the window's results\n", qlonglong(rows.size()));
    std::printf("| format      | ms    | goal      |\n|-------------|-------|-----------|\n");
    for (auto [name, format] : {std::pair{"CSV", ResultLineFormat::Csv},
                                std::pair{"JSON lines", ResultLineFormat::JsonLines}}) {
        QElapsedTimer timer;
        timer.start();
        const QString failure = WriteResultsFile(dir.filePath(QStringLiteral("out")), format, rows);
        const qint64 ms = timer.elapsed();
        std::printf("| %-11s | %5lld | < 1000 ms |%s\n", name, qlonglong(ms),
                    failure.isEmpty() ? "" : " (failed)");
    }
    return 0;
}
