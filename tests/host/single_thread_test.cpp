// The firmware is a fiber, not a thread: a running headless runner is one thread.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

extern char** environ;

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool SanitizerThreads = true;  // the sanitizer's runtime keeps a thread of its own
#else
constexpr bool SanitizerThreads = false;
#endif

int ThreadsOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    }
    return -1;
}

TEST(SingleThread, ARunningRunnerHasOneThread) {
    if (SanitizerThreads) GTEST_SKIP() << "ThreadSanitizer adds a thread of its own";
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // A day of instrument time, the screen printed whenever it changes: it is surely still
    // running after its first lines, and it is ended below.
    char* argv[] = {const_cast<char*>(DRK_HEADLESS), const_cast<char*>("--ticks"),
                    const_cast<char*>("864000"), const_cast<char*>("--show"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, DRK_HEADLESS, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // Three screens shown: the power-on and the first measuring screens have been drawn, so
    // the firmware has run its steps.
    FILE* lines = fdopen(out[0], "r");
    char line[256];
    int shown = 0;
    while (shown < 3 && std::fgets(line, sizeof line, lines) != nullptr) ++shown;
    EXPECT_EQ(shown, 3);
    const int threads = ThreadsOf(pid);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::fclose(lines);
    EXPECT_EQ(threads, 1);
}

}  // namespace
#endif
