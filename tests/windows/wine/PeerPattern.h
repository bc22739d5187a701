#pragma once
// The bytes the pty peer sends on request, shared by the peer and the Windows test program so
// that both know them without sending them twice. Every byte value occurs, the control
// characters a terminal line would act on (00, 0D, 11, 13) among them.
#include <stddef.h>
#include <stdint.h>

static inline uint8_t PeerPattern(uint32_t seed, size_t i) {
    return (uint8_t)(seed * 131u + (uint32_t)i * 17u + (uint32_t)(i >> 8));
}
