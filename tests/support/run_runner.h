// Runs the headless runner as a user would, from a shell, and reads the files it writes.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#ifdef _WIN32
// Windows: pclose gives the command's exit code itself.
#define WIFEXITED(status) ((status) != -1)
#define WEXITSTATUS(status) (status)
#else
#include <sys/wait.h>
#endif

struct RunResult {
    int code;         // exit code, -1 when the runner did not exit normally
    std::string out;  // standard output and standard error together
};

// Runs drk20vt5p-headless with `args` (shell words, redirections allowed), after the shell
// commands in `prefix` when there are any (a file size limit, a closed input).
inline RunResult RunRunner(const std::string& args, const std::string& prefix = "") {
    const std::string command =
        (prefix.empty() ? "" : prefix + " ") + DRK_HEADLESS + " " + args + " 2>&1";
    RunResult r{-1, {}};
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
