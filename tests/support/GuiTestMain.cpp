// Test entry for the suites that drive real widgets: a QApplication (on the
// offscreen platform that korvane_add_gui_suite sets) and the decoding layer
// initialised as the program does.
#include "analysis/BASS.h"

#include <QApplication>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Headless also when the build lists the tests, outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    av_log_set_level(AV_LOG_QUIET);
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const int status = RUN_ALL_TESTS();
    BASS_Free();
    return status;
}
