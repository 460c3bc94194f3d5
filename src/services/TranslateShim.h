#pragma once
// Temporary stand-in until the language files land on main; delete this file
// and TranslateShim.cpp then, and include "translation/Language.h" instead.
#include <QString>

QString Translate(const QString& text);
