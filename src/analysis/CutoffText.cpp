#include "analysis/CutoffText.h"

#include <QLocale>
#include <algorithm>
#include <cfenv>
#include <cmath>

QString CutoffText(float cutoffHz) {
    if (!std::isfinite(cutoffHz))
        return QStringLiteral("0");
    // nearbyint follows the rounding mode, which is to-nearest-even unless
    // someone changed it; say so explicitly rather than rely on it.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(double(cutoffHz));
    std::fesetround(previous);
    // A float's range exceeds 64 bits; no real cutoff comes near either end.
    constexpr double kLimit = 9.0e18;
    return QString::number(qint64(std::clamp(rounded, -kLimit, kLimit)));
}

QString LocaleDecimalText(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    const QString point = QLocale().decimalPoint();
    if (point != QStringLiteral("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}
