#pragma once

#include "analysis/BASS.h"
#include "analysis/DecodeResult.h"

#include <QString>
#include <cstddef>
#include <stop_token>

// Beside the library's own calls: opens `path` as
// BASS_StreamCreateFile(FALSE, path, 0, 0, BASS_STREAM_DECODE | BASS_UNICODE)
// does, with a stop token of the caller's work. Once a stop is requested the
// stream's reads fail and its demuxer is interrupted, so an open under way
// fails and BASS_ChannelGetData ends (BASS_DATA_ERROR) at the next read of
// the file, however much of it is left. Free it with BASS_StreamFree.
HSTREAM CreateFileStream(const QString& path, std::stop_token stop);

// The same with the reason of a failure as the decoding layer knows it, for
// callers that explain it themselves; BASS_ErrorGetCode is left as it was.
DecodeResult<HSTREAM> OpenFileStream(const QString& path, std::stop_token stop);

// BASS_StreamCreateFile(TRUE, data, 0, size, BASS_STREAM_DECODE) likewise.
DecodeResult<HSTREAM> OpenMemoryStream(const void* data, std::size_t size);
