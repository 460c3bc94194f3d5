#pragma once

#include <QString>

// The cutoff as the result list and korvane-cli's table show it: whole hertz,
// the nearest integer, an exact half going to the even neighbour. A value
// that is not a finite number shows as "0", like the cutoff of an error.
QString CutoffText(float cutoffHz);

// A figure in running text: the user's decimal separator, but always the
// digits 0-9 and no group separator, so "16,8 kHz" reads right in Germany and
// a log or a forum post stays legible wherever the locale writes other digits.
QString LocaleDecimalText(double value, int decimals);
