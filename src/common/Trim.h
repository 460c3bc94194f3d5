#pragma once

#include <QString>
#include <QStringView>

// Removes spaces and control characters (every character up to U+0020) from
// both ends; other white space such as U+00A0 stays.
QString TrimControl(QStringView text);
