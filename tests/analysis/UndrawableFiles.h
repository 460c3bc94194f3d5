#pragma once

#include "ScriptedSource.h"
#include "analysis/SpectrogramError.h"

#include <QString>
#include <functional>
#include <optional>

// A file the renderer cannot draw, and the reason it gives.
struct UndrawableFile {
    const char* Name;
    QString Path;
    std::optional<ScriptedSource> Script; // when set, routed to Path while the file is tried
    SpectrogramError Error;
};

// Hands `tryFile` each way a file fails to become a picture: missing, a
// folder, a device, not media, an unknown codec, no channels, a sample short
// of a whole frame, a length the decoder does not know, and a stream that
// delivers no frame. The files lie in a temporary folder for the call; a
// scripted one is routed to its path while it is tried.
void TryUndrawableFiles(const std::function<void(const UndrawableFile&)>& tryFile);
