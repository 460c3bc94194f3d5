// The korvane program: one main window over the analysis core.
#include "analysis/DecoderSetup.h"
#include "app/AppForm.h"
#include "app/ApplicationNames.h"
#include "platform/NamedInstanceLock.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Held for the life of the process; a second instance is welcome.
    const NamedInstanceLock instanceLock(QStringLiteral("QUIBLEX_Korvane"));

    QApplication application(argc, argv);
    SetApplicationNames();
    // Damaged files are reported in their rows; the decoder's own chatter
    // would only fill the terminal.
    const DecoderSetup decoder(DecoderLog::Silent);

    TAppForm form(TAppFormEnvironment::Standard());
    form.show();
    return application.exec();
}
