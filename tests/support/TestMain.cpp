// Test entry for the headless suites: a Qt core application (for QProcess and
// locale handling) and the decoding layer initialised as the programs do.
#include "analysis/BASS.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    av_log_set_level(AV_LOG_QUIET);
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const int status = RUN_ALL_TESTS();
    BASS_Free();
    return status;
}
