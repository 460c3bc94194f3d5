#include "app/AddFilesFilter.h"

QString AddFilesFilterText() {
    return QStringLiteral("Supported Files|") +
           QStringLiteral("*.mp3;*.wav;*.m4a;*.wma;*.flac;*.webm;") +
           QStringLiteral("*.aiff;*.aac;*.ogg;*.opus;*.ac3;*.eac3;") +
           QStringLiteral("*.mp2;*.wv;") + QStringLiteral("*.mp4;*.mkv;*.avi;*.mpg;*.mpeg;") +
           QStringLiteral("*.mov;*.wmv;*.flv;*.f4v") + QStringLiteral("|All Files|*.*");
}

QStringList NameFiltersFromFilterText(const QString& filterText) {
    const QStringList pieces = filterText.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : pieces[i + 1].split(u';', Qt::SkipEmptyParts))
            patterns << (pattern == u"*.*" ? QStringLiteral("*") : pattern.trimmed());
        filters << pieces[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}
