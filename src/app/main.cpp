// The korvane program: one main window over the analysis core.
#include "analysis/DecoderSetup.h"
#include "app/AppContext.h"
#include "app/AppForm.h"
#include "app/ApplicationNames.h"
#include "platform/DataFolder.h"
#include "platform/NamedInstanceLock.h"
#include "translation/Language.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

int main(int argc, char** argv) {
    // Held for the life of the process; a second instance is welcome.
    const NamedInstanceLock instanceLock(QStringLiteral("QUIBLEX_Korvane"));

    QApplication application(argc, argv);
    SetApplicationNames();
    // Damaged files are reported in their rows; the decoder's own chatter
    // would only fill the terminal.
    const DecoderSetup decoder(DecoderLog::Silent);

    // What a file manager's "Open With" hands over (Qt's own options are
    // gone from argv by now).
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths << QFile::decodeName(argv[i]);

    // Who the program is (its version block), where its own files go (the data
    // folder and settings.ini there) and the language of its windows: found
    // once, here, before any window, and handed down.
    AppContext context = StartAppContext(QCoreApplication::applicationFilePath(), UserDataFolder());
    const InstalledLanguage language(context.Language); // what Translate() reads

    TAppForm form(AppFormEnvironment::Standard(std::move(context)));
    form.show();
    if (!paths.isEmpty())
        QTimer::singleShot(0, &form, [&form, paths] { form.OpenPaths(paths); });
    return application.exec();
}
