#pragma once

#include "analysis/BASS.h"

// Owns a stream handle from BASS_StreamCreateFile and frees it exactly once,
// on every way out, exceptions included.
class StreamGuard {
public:
    explicit StreamGuard(HSTREAM handle) noexcept : m_handle(handle) {}
    ~StreamGuard() { reset(); }
    StreamGuard(const StreamGuard&) = delete;
    StreamGuard& operator=(const StreamGuard&) = delete;

    HSTREAM get() const noexcept { return m_handle; }
    // Frees the stream now, when its decoder's memory is better given back early.
    void reset() noexcept {
        if (m_handle != 0)
            BASS_StreamFree(m_handle);
        m_handle = 0;
    }

private:
    HSTREAM m_handle;
};
