#pragma once

#include <QString>

// The cutoff as the result list and korvane-cli's table show it: whole hertz,
// the nearest integer, an exact half going to the even neighbour. A value
// that is not a finite number shows as "0", like the cutoff of an error.
QString CutoffText(float cutoffHz);
