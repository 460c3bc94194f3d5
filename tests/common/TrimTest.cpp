#include "common/Trim.h"

#include <gtest/gtest.h>

TEST(TrimControl, SpacesAndControlCharactersAtBothEnds) {
    const std::pair<QString, QString> cases[] = {
        {"", ""},
        {"  a b  ", "a b"},
        {"\t\r\n1031\x01\x1F", "1031"},
        {"\x7F"
         "a",
         "\x7F"
         "a"}, // DEL is above U+0020
        {QString(QChar(0x00A0)) + "a", QString(QChar(0x00A0)) + "a"},
        {" \t ", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(TrimControl(text), expected) << text.toStdString();
}
