#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace fs = std::filesystem;

namespace {

std::string Reason(int err) {
    return std::strerror(err);
}

// Creates a new temporary file beside `path`: ".NAME.PID.N.tmp" in the same directory.
int CreateTemp(const std::string& path, std::string& temp, int& err) {
    const fs::path p(path);
    const fs::path dir = p.parent_path();
    for (int n = 0; n < 100; ++n) {
        const std::string name = "." + p.filename().string() + "." +
                                 std::to_string(static_cast<long>(getpid())) + "." +
                                 std::to_string(n) + ".tmp";
        temp = (dir / name).string();
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd >= 0) return fd;
        err = errno;
        if (err != EEXIST) return -1;
    }
    return -1;
}

// The path's kind: 0 absent, 1 regular file, 2 directory, 3 anything else (device, pipe).
int Kind(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    if (S_ISREG(st.st_mode)) return 1;
    if (S_ISDIR(st.st_mode)) return 2;
    return 3;
}

bool Fail(OutputFile& out, const std::string& reason) {
    if (out.error.empty()) out.error = out.path + ": " + reason;
    return false;
}

}  // namespace

bool CheckOutputPath(const std::string& path, std::string& error) {
    if (path == "-") return true;
    const int kind = Kind(path);
    if (kind == 2) {
        error = path + ": is a directory";
        return false;
    }
    if (kind == 3) {
        const int fd = open(path.c_str(), O_WRONLY | O_BINARY);
        if (fd < 0) {
            error = path + ": cannot write: " + Reason(errno);
            return false;
        }
        close(fd);
        return true;
    }
    std::string temp;
    int err = 0;
    const int fd = CreateTemp(path, temp, err);
    if (fd < 0) {
        error = path + ": cannot write: " + Reason(err);
        return false;
    }
    close(fd);
    std::remove(temp.c_str());
    return true;
}

bool OpenOutput(OutputFile& out, const std::string& path) {
    out = OutputFile{};
    out.path = path;
    if (path == "-") {
        out.file = stdout;
        return true;
    }
    const int kind = Kind(path);
    if (kind == 2) return Fail(out, "is a directory");
    int fd;
    if (kind == 3) {
        fd = open(path.c_str(), O_WRONLY | O_BINARY);
        if (fd < 0) return Fail(out, "cannot write: " + Reason(errno));
    } else {
        int err = 0;
        fd = CreateTemp(path, out.temp, err);
        if (fd < 0) {
            out.temp.clear();
            return Fail(out, "cannot write: " + Reason(err));
        }
        out.seekable = true;
    }
    out.file = fdopen(fd, "wb");
    if (out.file == nullptr) {
        const int err = errno;
        close(fd);
        if (!out.temp.empty()) std::remove(out.temp.c_str());
        out.temp.clear();
        return Fail(out, "cannot write: " + Reason(err));
    }
    return true;
}

bool WriteOutput(OutputFile& out, const void* data, size_t size) {
    if (!out.error.empty() || out.file == nullptr) return false;
    if (size != 0 && std::fwrite(data, 1, size, out.file) != size)
        return Fail(out, "write failed: " + Reason(errno));
    return true;
}

bool WriteOutputAt(OutputFile& out, uint64_t offset, const void* data, size_t size) {
    if (!out.error.empty() || out.file == nullptr || !out.seekable) return false;
    if (std::fflush(out.file) != 0) return Fail(out, "write failed: " + Reason(errno));
    if (std::fseek(out.file, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(data, 1, size, out.file) != size || std::fflush(out.file) != 0 ||
        std::fseek(out.file, 0, SEEK_END) != 0) {
        return Fail(out, "write failed: " + Reason(errno));
    }
    return true;
}

bool CommitOutput(OutputFile& out) {
    if (out.file == nullptr) return out.error.empty();
    if (out.file == stdout) {
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) Fail(out, "write failed");
        out.file = nullptr;
        return out.error.empty();
    }
    errno = 0;
    const bool flushed = std::fflush(out.file) == 0 && !std::ferror(out.file);
    const int flushErr = errno;
    const bool closed = std::fclose(out.file) == 0;
    const int closeErr = errno;
    out.file = nullptr;
    if (!flushed) Fail(out, "write failed: " + Reason(flushErr));
    if (!closed) Fail(out, "write failed: " + Reason(closeErr));
    if (!out.temp.empty()) {
        if (out.error.empty()) {
            std::error_code ec;
            fs::rename(out.temp, out.path, ec);
            if (ec) Fail(out, "cannot rename into place: " + ec.message());
        }
        if (!out.error.empty()) std::remove(out.temp.c_str());
        out.temp.clear();
    }
    return out.error.empty();
}

void DiscardOutput(OutputFile& out) {
    if (out.file != nullptr && out.file != stdout) std::fclose(out.file);
    out.file = nullptr;
    if (!out.temp.empty()) std::remove(out.temp.c_str());
    out.temp.clear();
}

bool WriteWholeOutput(const std::string& path, const void* data, size_t size, std::string& error) {
    OutputFile out;
    if (!OpenOutput(out, path) || !WriteOutput(out, data, size) || !CommitOutput(out)) {
        error = out.error;
        DiscardOutput(out);
        return false;
    }
    return true;
}

std::string FileKey(const std::string& path) {
#ifndef _WIN32  // (Windows reports no inode numbers: there the path alone)
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        return "file " + std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
               std::to_string(static_cast<unsigned long long>(st.st_ino));
    }
#endif
    std::error_code ec;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return "path " + absolute.lexically_normal().string();
}
