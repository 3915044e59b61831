// Reading a script, the same for every program that plays one: a regular file, a FIFO or
// standard input ("-"); at most 16 MiB; a directory or a device is refused, and so is a
// closed standard input; the text must be UTF-8 (a line that is not is refused with its
// file:line). A blocking read or open ends when a stop signal comes (StopSignal is then set).
#pragma once

#include <cstddef>
#include <string>

inline constexpr size_t MaxScriptBytes = 16u << 20;  // 16 MiB: far more than any script

// Reads the script at `path` ("-" standard input) into `text`. False with `error` ready to
// print: "NAME:0: cannot read the script file: reason" or "NAME:LINE: ..." for bad text,
// where NAME is `name` (the script's name in messages).
bool ReadScriptFile(const std::string& path, const std::string& name, std::string& text,
                    std::string& error);
// Checks that `text` is UTF-8; false with "NAME:LINE: ..." in `error`.
bool CheckScriptText(const std::string& name, const std::string& text, std::string& error);
