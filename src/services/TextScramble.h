#pragma once

#include <QString>
#include <cstdint>

// A reversible disguise for a stored value (not encryption): every UTF-8 byte
// of `text` is mixed with a keystream that advances with the output, and the
// result is written as two upper-case hexadecimal digits per byte.
QString ScrambleText(const QString& text, std::uint16_t key);

// The inverse of ScrambleText with the same key. A last odd digit is ignored;
// input that is not hexadecimal gives the empty text.
QString UnscrambleText(const QString& scrambled, std::uint16_t key);
