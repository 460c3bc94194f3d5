// Test entry for the suites that drive real widgets: a QApplication on the
// offscreen platform and the decoding layer initialised as the program does,
// with the tests' file routes in front of the decoder.
#include "analysis/DecoderSetup.h"
#include "support/FileRoute.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The tests end windows themselves; closing one must not end the run.
    QApplication::setQuitOnLastWindowClosed(false);
    const DecoderSetup decoder(DecoderLog::Silent, RoutedFileSource);
    return RUN_ALL_TESTS();
}
