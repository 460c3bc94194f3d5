#pragma once

#include "analysis/ChannelSource.h"

#include <QString>
#include <functional>
#include <memory>

// Routes one path to sources the test makes, instead of the decoder, for as
// long as the route lives. The test programs' DecoderSetup asks
// RoutedFileSource for every file a stream is opened on, so the analysis and
// the renderer meet the test's sources through their real BASS_* calls.
class FileRoute {
public:
    // Makes the source for one opening of the path; nullptr decodes the file.
    using Maker = std::function<std::unique_ptr<ChannelSource>()>;

    FileRoute(const QString& path, Maker make);
    ~FileRoute();
    FileRoute(const FileRoute&) = delete;
    FileRoute& operator=(const FileRoute&) = delete;

private:
    int m_id;
};

// The source the newest living route for `path` makes, or nullptr: the file
// is decoded. Safe on any thread.
std::unique_ptr<ChannelSource> RoutedFileSource(const QString& path);
