// Output files that are either complete or not there: each is written to a temporary file
// beside it and put in place only when it is complete, so a failed or interrupted write never
// leaves a partial file (and leaves a file that was there before as it was). A symbolic link
// is followed: its target is written and the link stays a link. A file that is there keeps
// its mode (and owner, where allowed); one with other hard links is overwritten in place at
// the commit, so every link sees the new bytes. A device, a pipe or a FIFO is opened once and
// written directly as a stream. "-" is standard output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct OutputFile {
    std::string path;    // as given
    std::string target;  // the file the bytes go to: the path with its links followed
    std::string temp;    // the temporary file beside the target, "" when written directly
    std::FILE* file = nullptr;
    bool seekable = false;  // a regular (temporary) file: WAV headers can be written last
    bool linked = false;    // the target has other hard links: copied over it at the commit
    std::string error;      // the first failure, "PATH: reason"
};

// Whether `path` can be written, without opening a device or FIFO (that is done once, by
// OpenOutput): no directory, a directory that takes a new file (tried with a temporary file,
// removed again), or a device or pipe with write permission. False with a message in `error`.
bool CheckOutputPath(const std::string& path, std::string& error);
// Opens the temporary file (or the device, or standard output). False with out.error; an
// open of a FIFO that a stop signal interrupts fails too (StopSignal says which).
bool OpenOutput(OutputFile& out, const std::string& path);
// Appends bytes; false (and out.error) on a write error, after which nothing more is written.
bool WriteOutput(OutputFile& out, const void* data, size_t size);
// Writes bytes at `offset` of a seekable output, then returns to its end.
bool WriteOutputAt(OutputFile& out, uint64_t offset, const void* data, size_t size);
// Flushes and closes; puts the temporary file in place. False (and out.error), the temporary
// file removed, when any write failed.
bool CommitOutput(OutputFile& out);
// Closes and removes the temporary file: the path is left as it was.
void DiscardOutput(OutputFile& out);
// Writes `size` bytes as the whole file at `path`, the same way. False with `error`.
bool WriteWholeOutput(const std::string& path, const void* data, size_t size, std::string& error);
// Flushes standard output; false with `error` ("standard output: reason") when that or any
// earlier write to it failed (a closed descriptor, a full disk, a pipe whose reader left).
bool FlushStandardOutput(std::string& error);

// A key that is the same for two paths that name the same file (the file's device and
// inode when it exists, else its absolute path without . and ..), to refuse two outputs on
// one file, or an output on a script.
std::string FileKey(const std::string& path);
