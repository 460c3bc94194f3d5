// Test entry for the headless suites: a Qt core application (for QProcess and
// locale handling) and the decoding layer initialised as the programs do,
// with the tests' file routes in front of the decoder.
#include "analysis/DecoderSetup.h"
#include "support/FileRoute.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    const DecoderSetup decoder(DecoderLog::Silent, RoutedFileSource);
    return RUN_ALL_TESTS();
}
