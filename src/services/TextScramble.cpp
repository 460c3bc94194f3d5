#include "services/TextScramble.h"

#include <QByteArray>

namespace {

constexpr std::uint16_t kMultiplier = 0xD201;
constexpr std::uint16_t kIncrement = 0x7F6A;

// The state advances with the scrambled byte, so both directions share it.
std::uint16_t Advance(std::uint16_t state, unsigned char scrambled) {
    // Unsigned 32-bit arithmetic: the product overflows a signed int.
    const std::uint32_t sum = std::uint32_t{state} + scrambled;
    return static_cast<std::uint16_t>(sum * kMultiplier + kIncrement);
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

} // namespace

QString ScrambleText(const QString& text, std::uint16_t key) {
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray plain = text.toUtf8();
    QString out;
    out.reserve(plain.size() * 2);
    std::uint16_t state = key;
    for (const char c : plain) {
        const auto x = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ (state >> 8));
        out.append(QLatin1Char(hex[x >> 4]));
        out.append(QLatin1Char(hex[x & 0x0F]));
        state = Advance(state, x);
    }
    return out;
}

QString UnscrambleText(const QString& scrambled, std::uint16_t key) {
    const QString digits = scrambled.toUpper();
    const qsizetype count = digits.size() / 2;
    QByteArray bytes;
    bytes.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const int high = HexDigit(digits.at(2 * i));
        const int low = HexDigit(digits.at(2 * i + 1));
        if (high < 0 || low < 0) {
            return QString();
        }
        bytes.append(static_cast<char>(high * 16 + low));
    }
    std::uint16_t state = key;
    for (char& c : bytes) {
        const auto x = static_cast<unsigned char>(c);
        c = static_cast<char>(x ^ (state >> 8));
        state = Advance(state, x);
    }
    return QString::fromUtf8(bytes);
}
