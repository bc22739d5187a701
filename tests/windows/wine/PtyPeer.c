// The Linux side of a serial line for Windows programs under Wine: a pseudo-terminal whose slave
// is mapped as a COM port, and a peer on its master that does what the Windows program asks over
// the line itself, so that the program decides what arrives when.
//
// Usage: pty-peer READY_FILE
// Writes the slave's path into READY_FILE once the line is ready, then serves requests until
// asked to quit or hang up. Requests (numbers little-endian):
//   'E' n:u16 bytes[n]          echo the n bytes back
//   'D' ms:u32 n:u16 seed:u8    after ms milliseconds send n bytes of PeerPattern(seed, i)
//   'F' count:u16 gap:u8        send count 18-byte frames, each in its own write, gap
//                               milliseconds apart; frame k is PeerPattern(k, 0..17)
//   'S' ms:u32                  read nothing for ms milliseconds, then discard what arrives until
//                               the line has been quiet for a while, then send 'A'
//   'H' ms:u32                  after ms milliseconds close the master (hang up) and exit 0
//   'Q'                         exit 0
// Exits 1 on a setup failure or a malformed request, 2 when the line fails.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "PeerPattern.h"

enum { kFrameSize = 18, kMaxEcho = 65535, kQuietMs = 300 };

static int gMaster = -1;

static void ReadExactly(void* buffer, size_t count) {
    uint8_t* p = buffer;
    while (count > 0) {
        const ssize_t n = read(gMaster, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fprintf(stderr, "pty-peer: read failed: %s\n", n ? strerror(errno) : "end of line");
            exit(2);
        }
        p += n;
        count -= (size_t)n;
    }
}

static void WriteAll(const void* data, size_t count) {
    const uint8_t* p = data;
    while (count > 0) {
        const ssize_t n = write(gMaster, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fprintf(stderr, "pty-peer: write failed: %s\n", strerror(errno));
            exit(2);
        }
        p += n;
        count -= (size_t)n;
    }
}

static uint32_t ReadNumber(size_t size) {
    uint8_t b[4] = {0};
    ReadExactly(b, size);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

static void SleepMs(uint32_t ms) {
    struct timespec t = {.tv_sec = ms / 1000, .tv_nsec = (long)(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

static int OpenLine(const char* readyFile) {
    gMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (gMaster < 0 || grantpt(gMaster) != 0 || unlockpt(gMaster) != 0) return -1;
    const char* slave = ptsname(gMaster);
    if (!slave) return -1;
    // Holding the slave open keeps the master readable while no program has the port open, and
    // puts the line in raw mode before the program's own settings arrive.
    const int held = open(slave, O_RDWR | O_NOCTTY);
    if (held < 0) return -1;
    struct termios t;
    if (tcgetattr(held, &t) != 0) return -1;
    cfmakeraw(&t);
    if (tcsetattr(held, TCSANOW, &t) != 0) return -1;
    char temp[4096];
    if (snprintf(temp, sizeof temp, "%s.tmp", readyFile) >= (int)sizeof temp) return -1;
    FILE* f = fopen(temp, "w");
    if (!f) return -1;
    const int written = fprintf(f, "%s\n", slave) > 0;
    if (fclose(f) != 0 || !written || rename(temp, readyFile) != 0) return -1;
    return 0;
}

// Discards input until none has come for kQuietMs.
static void Drain(uint8_t* buffer, size_t size) {
    struct pollfd p = {.fd = gMaster, .events = POLLIN};
    while (poll(&p, 1, kQuietMs) > 0) {
        if (read(gMaster, buffer, size) < 0 && errno != EINTR && errno != EAGAIN) {
            fprintf(stderr, "pty-peer: read failed: %s\n", strerror(errno));
            exit(2);
        }
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: pty-peer READY_FILE\n");
        return 1;
    }
    if (OpenLine(argv[1]) != 0) {
        fprintf(stderr, "pty-peer: cannot set up the line: %s\n", strerror(errno));
        return 1;
    }
    static uint8_t buffer[kMaxEcho];
    for (;;) {
        uint8_t request = 0;
        ReadExactly(&request, 1);
        switch (request) {
            case 'E': {
                const size_t n = ReadNumber(2);
                ReadExactly(buffer, n);
                WriteAll(buffer, n);
                break;
            }
            case 'D': {
                const uint32_t ms = ReadNumber(4);
                const size_t n = ReadNumber(2);
                const uint8_t seed = (uint8_t)ReadNumber(1);
                for (size_t i = 0; i < n; ++i) buffer[i] = PeerPattern(seed, i);
                SleepMs(ms);
                WriteAll(buffer, n);
                break;
            }
            case 'F': {
                const uint32_t count = ReadNumber(2);
                const uint32_t gap = ReadNumber(1);
                for (uint32_t k = 0; k < count; ++k) {
                    if (k > 0 && gap > 0) SleepMs(gap);
                    uint8_t frame[kFrameSize];
                    for (size_t i = 0; i < kFrameSize; ++i) frame[i] = PeerPattern(k, i);
                    WriteAll(frame, kFrameSize);
                }
                break;
            }
            case 'S':
                SleepMs(ReadNumber(4));
                Drain(buffer, sizeof buffer);
                WriteAll("A", 1);
                break;
            case 'H':
                SleepMs(ReadNumber(4));
                close(gMaster);
                return 0;
            case 'Q':
                return 0;
            default:
                fprintf(stderr, "pty-peer: unknown request 0x%02x\n", request);
                return 1;
        }
    }
}
