// Output files that are either complete or not there: each is written to a temporary file
// beside it and renamed into place only when it is complete, so a failed or interrupted write
// never leaves a partial file (and leaves a file that was there before as it was). A device
// or a pipe (/dev/null, a FIFO) is written in place; "-" is standard output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct OutputFile {
    std::string path;  // as given
    std::string temp;  // the temporary file beside it, "" when written in place
    std::FILE* file = nullptr;
    bool seekable = false;  // a regular (temporary) file: WAV headers can be written last
    std::string error;      // the first failure, "PATH: reason"
};

// Whether `path` can be written: no directory, an existing directory that takes a new file
// (tried with a temporary file, removed again) or a device or pipe that opens for writing.
// False with a message in `error`.
bool CheckOutputPath(const std::string& path, std::string& error);
// Opens the temporary file (or the device, or standard output). False with out.error.
bool OpenOutput(OutputFile& out, const std::string& path);
// Appends bytes; false (and out.error) on a write error, after which nothing more is written.
bool WriteOutput(OutputFile& out, const void* data, size_t size);
// Writes bytes at `offset` of a seekable output, then returns to its end.
bool WriteOutputAt(OutputFile& out, uint64_t offset, const void* data, size_t size);
// Flushes and closes; renames the temporary file into place. False (and out.error), the
// temporary file removed, when any write failed.
bool CommitOutput(OutputFile& out);
// Closes and removes the temporary file: the path is left as it was.
void DiscardOutput(OutputFile& out);
// Writes `size` bytes as the whole file at `path`, the same way. False with `error`.
bool WriteWholeOutput(const std::string& path, const void* data, size_t size, std::string& error);

// A key that is the same for two paths that name the same file (the file's device and
// inode when it exists, else its absolute path without . and ..), to refuse two outputs on
// one file, or an output on a script.
std::string FileKey(const std::string& path);
