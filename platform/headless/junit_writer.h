// The JUnit XML report, as CI systems read it: one test suite per script (or one for a run
// without a script), each holding its one test case and the properties a CI cannot see in
// the case itself: the script's file and line, the seed, the program's version and the
// instrument time the script ran. The report keeps to the common JUnit schema (Jenkins'
// junit-4), which takes no attributes on a test case beyond its name, class name and time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct JunitCase {
    enum Result { Passed, Failed, Error, Skipped };
    std::string name;    // the script as given
    std::string file;    // the script's file ("-" standard input, "" a run without a script)
    int line = 0;        // the step that failed, or the line a script error is on; 0 none
    double seconds = 0;  // wall time
    uint64_t ticks = 0;  // instrument time, in ticks of 100 ms
    Result result = Passed;
    std::string message;  // the first line of what went wrong ("FILE:LINE: ..."); Skipped: why
    std::string detail;   // all of it
    std::vector<std::string> attachments;  // files of a failed script (PNG, WAV)
};

// What the whole run shares.
struct JunitRun {
    std::string version;  // the program's
    bool seedSet = false;
    uint32_t seed = 0;
};

// The most bytes of a message attribute and of a detail text; what is cut says its size.
inline constexpr size_t JunitMessageMax = 4096;
inline constexpr size_t JunitDetailMax = 65536;

// The whole report.
std::string JunitReport(const JunitRun& run, const std::vector<JunitCase>& cases);

// `text` made fit for XML 1.0: bytes that are not UTF-8 (a stray byte, an overlong form, an
// encoded surrogate) and characters XML cannot carry (U+FFFE, U+FFFF, the other
// non-characters) become U+FFFD; control characters are written as escapes (\r, \xNN),
// line breaks and tabs kept when `lines`; then the markup characters as entities. Cut to at
// most `max` bytes of the source, at a character, with the size said.
std::string JunitText(const std::string& text, bool lines, size_t max);
