// Test entry for the suites that drive real widgets: a QApplication on the
// offscreen platform and the decoding layer initialised as the program does.
#include "analysis/BASS.h"

#include <QApplication>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The tests end windows themselves; closing one must not end the run.
    QApplication::setQuitOnLastWindowClosed(false);
    av_log_set_level(AV_LOG_QUIET);
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const int status = RUN_ALL_TESTS();
    BASS_Free();
    return status;
}
