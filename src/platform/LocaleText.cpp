#include "platform/LocaleText.h"

#include <QStringDecoder>
#include <langinfo.h>

QString DecodeLocaleText(const QByteArray& bytes, const char* codeset) {
    // The application object has applied the user's locale (setlocale) by now.
    QStringDecoder decoder(codeset ? codeset : nl_langinfo(CODESET));
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}
