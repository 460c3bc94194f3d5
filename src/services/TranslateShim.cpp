#include "services/TranslateShim.h"

QString Translate(const QString& text) {
    return text;
}
