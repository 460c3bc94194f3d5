// Starts the main window as the program does, loads a folder, chooses a row
// and, once its spectrogram is drawn, prints "READY x y width height" (the
// window's place on the screen) so scripts/screenshot.sh can take its picture.
#include "app/AppForm.h"
#include "app/ResultList.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [ROW]\n", argv[0]);
        return 64;
    }
    av_log_set_level(AV_LOG_QUIET);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int row = argc > 2 ? std::atoi(argv[2]) : 0;

    TAppForm form(TAppFormEnvironment::Standard());
    form.show();
    QTimer::singleShot(200, &form, [&] {
        form.KlasorYukle(folder);
        if (form.ListView1->rowCount() == 0) {
            std::fprintf(stderr, "no supported files in %s\n", argv[1]);
            QApplication::exit(1);
            return;
        }
        form.ListView1->selectRow(std::min(row, form.ListView1->rowCount() - 1));
        form.ListView1->setFocus();
        auto* poll = new QTimer(&form);
        QObject::connect(poll, &QTimer::timeout, &form, [&form, poll] {
            const int chosen = form.ListView1->chosenRow();
            if (chosen < 0 || form.LastDrawnFile != form.ListView1->caption(chosen))
                return;
            poll->stop();
            // Let the last paints land before the picture is taken.
            QTimer::singleShot(300, &form, [&form] {
                const QRect frame = form.frameGeometry();
                std::printf("READY %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
                std::fflush(stdout);
            });
        });
        poll->start(50);
    });
    return application.exec();
}
