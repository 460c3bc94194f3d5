#pragma once

#include <QStringList>

// `korvane-cli spectrogram FILE -o OUT.png [--size WxH] [--annotate]`;
// `arguments` start with the program name and "spectrogram". Exit status 0 on
// success, 2 when the file cannot be rendered or the PNG cannot be written,
// 64 for bad usage.
int RunSpectrogramCommand(const QStringList& arguments);

// Whether a command line runs the spectrogram command with --annotate, which
// draws text and so needs a GUI application object (offscreen, no display).
bool SpectrogramCommandDrawsText(int argc, char** argv);
