// Starts the main window as the program does, loads a folder, chooses the row
// whose file name is NAME (or the first) and, once its spectrogram is drawn, prints "READY x y
// width height" (the window's place on the screen) so scripts/screenshot.sh can take its picture.
#include "analysis/DecoderSetup.h"
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "platform/DataFolder.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [NAME]\n", argv[0]);
        return 64;
    }
    const DecoderSetup decoder(DecoderLog::Silent);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    TAppForm form(AppFormEnvironment::Standard(
        StartAppContext(QCoreApplication::applicationFilePath(), UserDataFolder())));
    form.setGeometry(10, 10, 960, 640); // a little roomier than the default, so paths read
    form.show();
    QObject::connect(&form, &TAppForm::loadFinished, &form, [&] {
        if (form.ListView1->rowCount() == 0) {
            std::fprintf(stderr, "no supported files in %s\n", argv[1]);
            QApplication::exit(1);
            return;
        }
        int row = 0;
        for (int i = 0; i < form.ListView1->rowCount(); ++i) {
            if (!name.isEmpty() && form.ListView1->caption(i).endsWith(u'/' + name))
                row = i;
        }
        form.ListView1->selectRow(row);
        form.ListView1->setFocus();
        auto* poll = new QTimer(&form);
        QObject::connect(poll, &QTimer::timeout, &form, [&form, poll] {
            const int chosen = form.ListView1->chosenRow();
            if (chosen < 0 || form.LastDrawnFile != form.ListView1->caption(chosen))
                return;
            poll->stop();
            // Let the last paints land before the picture is taken.
            QTimer::singleShot(300, &form, [&form] {
                // The screen counts device pixels; a scaled desktop has more.
                const qreal ratio = form.devicePixelRatioF();
                const QRect logical = form.frameGeometry();
                const QRect frame(QPoint(qRound(logical.x() * ratio), qRound(logical.y() * ratio)),
                                  (QSizeF(logical.size()) * ratio).toSize());
                std::printf("READY %d %d %d %d\n", frame.x(), frame.y(), frame.width(),
                            frame.height());
                std::fflush(stdout);
            });
        });
        poll->start(50);
    });
    QTimer::singleShot(200, &form, [&] { form.KlasorYukle(folder); });
    return application.exec();
}
