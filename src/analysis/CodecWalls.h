#pragma once

#include "analysis/StreamCodec.h"

#include <QString>
#include <cstdint>

// Where lossy encoders put their low-pass, as measured on their output (44.1
// and 48 kHz, stereo): the facts the second opinion compares a wall with.

// The lowest frequency at which `codec` at `kbps` is known to end its band,
// in Hz: a wall well below it was made by something else. 0 when the codec
// may end its band anywhere at that rate (low rates, codecs without a table),
// so no wall counts as foreign.
double OwnWallFloorHz(StreamCodec codec, std::int32_t kbps);

// The lossy source whose low-pass lies nearest `wallHz`, in words ("MP3 ~128
// kbps", "AAC ~160 kbps"); empty when no known low-pass lies within reach.
QString LossySourceForWall(double wallHz, std::uint32_t sampleRate);

// The lower sample rates an upsampled file may have come from, lowest first.
inline constexpr std::uint32_t kLowerRates[] = {16000, 22050, 24000, 32000, 44100, 48000};
