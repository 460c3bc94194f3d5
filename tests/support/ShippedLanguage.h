#pragma once

#include "translation/Language.h"

#include <QString>
#include <gtest/gtest.h>
#include <optional>

// Installs the German translation the build ships beside the test programs
// (KORVANE_BIN_DIR/Languages) into `slot`, for Translate() while it lives:
// resetting the slot brings English back.
inline void InstallShippedGerman(std::optional<InstalledLanguage>& slot) {
    slot.emplace(InitLanguage(QStringLiteral(KORVANE_BIN_DIR), QStringLiteral("German.lang.txt")));
    ASSERT_EQ(slot->language().CurrentLanguage, QStringLiteral("German"));
}
