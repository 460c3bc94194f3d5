#include "translation/LanguageFile.h"

#include "platform/LocaleText.h"

#include <QFile>
#include <QStringDecoder>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

} // namespace

QStringList SplitTextLines(QStringView text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.sliced(start, i - start).toString());
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start).toString());
    return lines;
}

QStringList ReadLanguageFileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("Cannot read the language file \"%1\": %2")
                 .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(QStringLiteral("Cannot read the language file \"%1\": %2")
                 .arg(path, file.errorString()));

    // Strict: a sequence cut off at the end counts as invalid too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        Fail(QStringLiteral("The language file \"%1\" is not valid UTF-8 text.").arg(path));
    return SplitTextLines(text);
}

QString DecodeLanguageCodes(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringDecoder::Utf8).decode(bytes);
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes);
    return DecodeLocaleText(bytes);
}

QStringList ReadLanguageCodesLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    return SplitTextLines(DecodeLanguageCodes(bytes));
}

std::optional<QString> FindTranslationEntry(const QString& text, const QStringList& lines) {
    const QString key = u'{' + text + u'}';
    for (const QString& line : lines) {
        // The translation starts right after the key, so an English text that
        // itself holds "}" still yields its whole translation.
        if (line.startsWith(key))
            return line.mid(key.size());
    }
    return std::nullopt;
}

QString LookupTranslation(const QString& text, const QStringList& lines) {
    return FindTranslationEntry(text, lines).value_or(text);
}

QString LanguageNameOfFile(const QString& fileName) {
    const qsizetype at = fileName.indexOf(QStringLiteral(".lang.txt"));
    return at < 0 ? QString() : fileName.left(at);
}
