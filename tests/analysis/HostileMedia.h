// Helpers for the hostile-input suites: byte patches on generated files and
// counts taken through the decoding layer.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <ostream>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace hostile {

// Little- and big-endian stores into a file image.
void PutLE16(QByteArray& bytes, qsizetype at, std::uint16_t value);
void PutLE32(QByteArray& bytes, qsizetype at, std::uint32_t value);
void PutBE32(QByteArray& bytes, qsizetype at, std::uint32_t value);

// Deterministic garbage over bytes [from, from + count).
void Scramble(QByteArray& bytes, qsizetype from, qsizetype count, std::uint32_t seed = 1);

// A Matroska file of one TTA track (mono, 16 bits, 48 kHz) whose `packets`
// blocks each carry `payload` and claim to last `blockDuration` nanoseconds.
QByteArray MatroskaWithBlockDurations(int packets, std::uint64_t blockDuration,
                                      const QByteArray& payload);

// FFT frames the decoding layer delivers for `path` until the end; -1 when it
// cannot be opened.
int CountFrames(const QString& path);

// The length the stream claims, in seconds; -1 when it states none or cannot be opened.
double ClaimedSeconds(const QString& path);

} // namespace hostile
