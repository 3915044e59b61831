#include "script_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "stop_signals.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

// The length of the well-formed UTF-8 sequence at text[i] (no overlong form, no surrogate,
// nothing past U+10FFFF), 0 when there is none.
size_t Utf8Sequence(const std::string& text, size_t i) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (b < 0x80) return 1;
    const size_t n = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    uint32_t code = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto c = static_cast<uint8_t>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = (code << 6) | (c & 0x3F);
    }
    static const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

std::string Why(const std::string& name, const char* reason) {
    return name + ":0: cannot read the script file: " + reason;
}

}  // namespace

bool CheckScriptText(const std::string& name, const std::string& text, std::string& error) {
    int line = 1;
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8Sequence(text, i);
        if (n == 0) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "\\x%02X", static_cast<uint8_t>(text[i]));
            error =
                name + ":" + std::to_string(line) + ": the text is not UTF-8 (byte " + byte + ")";
            return false;
        }
        if (text[i] == '\n') ++line;
        i += n;
    }
    return true;
}

bool ReadScriptFile(const std::string& path, const std::string& name, std::string& text,
                    std::string& error) {
    text.clear();
    int fd = 0;
    struct stat st;
    if (path == "-") {
        if (fstat(0, &st) != 0) {
            error = Why(name, "standard input is closed");
            return false;
        }
    } else {
        if (stat(path.c_str(), &st) != 0) {
            error = Why(name, std::strerror(errno));
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            error = Why(name, "it is a directory");
            return false;
        }
        if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
            error = Why(name, "it is a device, not a file");
            return false;
        }
        // A FIFO's open waits for its writer; a stop signal ends the wait.
        fd = open(path.c_str(), O_RDONLY | O_BINARY);
        if (fd < 0) {
            error = Why(name, errno == EINTR ? "stopped by a signal" : std::strerror(errno));
            return false;
        }
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR && StopSignal == 0) continue;
        if (n < 0) {
            error = Why(name, errno == EINTR ? "stopped by a signal" : std::strerror(errno));
            ok = false;
            break;
        }
        if (n == 0) break;
        if (text.size() + static_cast<size_t>(n) > MaxScriptBytes) {
            error = Why(name, "it is larger than 16 MiB");
            ok = false;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    if (fd != 0) close(fd);
    return ok && CheckScriptText(name, text, error);
}
