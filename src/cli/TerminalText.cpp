#include "cli/TerminalText.h"

namespace {

// Characters that reorder the text around them: the Arabic letter mark, the
// left-to-right and right-to-left marks, embeddings, overrides and isolates.
bool IsBidiControl(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

void AppendHex(QString& out, unsigned value, int digits) {
    out += QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

} // namespace

QString TerminalText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x20 || c == 0x7F) {
            out += QStringLiteral("\\x");
            AppendHex(out, c, 2);
        } else if ((c >= 0x80 && c <= 0x9F) || IsBidiControl(c) || c == 0x2028 || c == 0x2029) {
            out += QStringLiteral("\\u");
            AppendHex(out, c, 4);
        } else if (c == u'\\') {
            out += QStringLiteral("\\\\");
        } else {
            out += qc;
        }
    }
    return out;
}
