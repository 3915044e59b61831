#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "stop_signals.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef NAME_MAX
#define NAME_MAX 255
#endif

namespace fs = std::filesystem;

namespace {

constexpr int MaxLinks = 40;  // symbolic links followed at most, as the system does

std::string Reason(int err) {
    return std::strerror(err);
}

// The path with its symbolic links followed to the file they name (which may not exist yet).
// A link of the process file system (/dev/stdout is /proc/self/fd/1) names an open file,
// not a path: there `direct` is set, and the file is opened through the link and written as
// it is. False with `err` for a loop or an unreadable link.
bool FollowLinks(const std::string& path, std::string& target, bool& direct, int& err) {
    target = path;
    direct = false;
#ifndef _WIN32
    for (int n = 0; n < MaxLinks; ++n) {
        struct stat st;
        if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        if (target.rfind("/proc/", 0) == 0) {
            direct = true;
            return true;
        }
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t size = readlink(target.c_str(), link.data(), link.size());
        if (size < 0) {
            err = errno;
            return false;
        }
        link.resize(static_cast<size_t>(size));
        const fs::path next(link);
        target = next.is_absolute() ? link : (fs::path(target).parent_path() / next).string();
    }
    err = ELOOP;
    return false;
#else
    (void)err;
    return true;
#endif
}

// The descriptor that /proc/self/fd/N (or /proc/PID/fd/N of this process) names, else -1.
int OwnDescriptor(const std::string& target) {
    const std::string self = "/proc/self/fd/";
    const std::string mine = "/proc/" + std::to_string(static_cast<long>(getpid())) + "/fd/";
    std::string number;
    if (target.rfind(self, 0) == 0) number = target.substr(self.size());
    if (target.rfind(mine, 0) == 0) number = target.substr(mine.size());
    if (number.empty() || number.size() > 9 ||
        number.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoi(number);
}

// The name of the n-th temporary file for `path`: ".NAME.PID.N.tmp" in the same directory,
// NAME shortened so that the whole fits the system's longest file name.
std::string TempName(const std::string& path, int n) {
    const fs::path p(path);
    const std::string suffix =
        "." + std::to_string(static_cast<long>(getpid())) + "." + std::to_string(n) + ".tmp";
    std::string name = p.filename().string();
    const size_t room = NAME_MAX - 1 - suffix.size();
    if (name.size() > room) name.resize(room);
    return (p.parent_path() / ("." + name + suffix)).string();
}

// Creates a new temporary file beside `path`.
int CreateTemp(const std::string& path, std::string& temp, int& err) {
    for (int n = 0; n < 100; ++n) {
        temp = TempName(path, n);
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd >= 0) return fd;
        err = errno;
        if (err != EEXIST) return -1;
    }
    return -1;
}

// The path's kind: 0 absent, 1 regular file, 2 directory, 3 anything else (device, pipe).
int Kind(const std::string& path, struct stat& st) {
    if (stat(path.c_str(), &st) != 0) return 0;
    if (S_ISREG(st.st_mode)) return 1;
    if (S_ISDIR(st.st_mode)) return 2;
    return 3;
}

bool Fail(OutputFile& out, const std::string& reason) {
    if (out.error.empty()) out.error = out.path + ": " + reason;
    return false;
}

// Copies the finished temporary file over the target in place (a file with other links).
bool CopyOver(OutputFile& out) {
    const int from = open(out.temp.c_str(), O_RDONLY | O_BINARY);
    if (from < 0) return Fail(out, "cannot read back: " + Reason(errno));
    const int to = open(out.target.c_str(), O_WRONLY | O_TRUNC | O_BINARY);
    if (to < 0) {
        close(from);
        return Fail(out, "cannot write: " + Reason(errno));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) Fail(out, "cannot read back: " + Reason(errno));
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(to, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                Fail(out, "write failed: " + Reason(errno));
                break;
            }
            done += w;
        }
        if (!out.error.empty()) break;
    }
    close(from);
    if (close(to) != 0) Fail(out, "write failed: " + Reason(errno));
    return out.error.empty();
}

}  // namespace

bool CheckOutputPath(const std::string& path, std::string& error) {
    if (path == "-") return true;
    std::string target;
    bool direct = false;
    int err = 0;
    if (!FollowLinks(path, target, direct, err)) {
        error = path + ": cannot write: " + Reason(err);
        return false;
    }
    struct stat st;
    const int kind = direct ? 3 : Kind(target, st);
    if (kind == 2) {
        error = path + ": is a directory";
        return false;
    }
    if (kind == 3) {
        if (access(target.c_str(), W_OK) != 0) {
            error = path + ": cannot write: " + Reason(errno);
            return false;
        }
        return true;
    }
    std::string temp;
    const int fd = CreateTemp(target, temp, err);
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
    int err = 0;
    bool direct = false;
    if (!FollowLinks(path, out.target, direct, err))
        return Fail(out, "cannot write: " + Reason(err));
    struct stat st;
    const int kind = direct ? 3 : Kind(out.target, st);
    if (kind == 2) return Fail(out, "is a directory");
    int fd;
    if (kind == 3) {
        // Opened once, here: a FIFO's open waits for its reader (or a stop signal). One of
        // this program's own descriptors (/dev/stdout) is shared, not opened again, so a
        // shell's "> FILE" or ">> FILE" gets the bytes where it would from standard output.
        const int own = direct ? OwnDescriptor(out.target) : -1;
        fd = own >= 0 ? dup(own) : open(out.target.c_str(), O_WRONLY | O_BINARY);
        if (fd < 0 && errno == EINTR) return Fail(out, "not opened: stopped by a signal");
        if (fd < 0) return Fail(out, "cannot write: " + Reason(errno));
    } else {
        fd = CreateTemp(out.target, out.temp, err);
        if (fd < 0) {
            out.temp.clear();
            return Fail(out, "cannot write: " + Reason(err));
        }
        out.seekable = true;
#ifndef _WIN32
        if (kind == 1) {
            // The file keeps what it was: its mode, its owner (where allowed), its links.
            fchmod(fd, st.st_mode & 07777);
            if (fchown(fd, st.st_uid, st.st_gid) != 0) {
                // Not the owner's to give: the new file is the writer's, as any new file.
            }
            out.linked = st.st_nlink > 1;
        }
#endif
    }
    out.file = fdopen(fd, "wb");
    if (out.file == nullptr) {
        err = errno;
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
        std::string error;
        if (!FlushStandardOutput(error)) Fail(out, error.substr(error.find(": ") + 2));
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
        if (out.error.empty() && out.linked) {
            CopyOver(out);
        } else if (out.error.empty()) {
            std::error_code ec;
            fs::rename(out.temp, out.target, ec);
            if (ec) Fail(out, "cannot rename into place: " + ec.message());
        }
        std::remove(out.temp.c_str());
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

bool FlushStandardOutput(std::string& error) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    const int err = errno;
    error = "standard output: write failed";
    if (err != 0) error += ": " + Reason(err);
    return false;
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
