// The JUnit XML report, as CI systems read it: one test suite, one test case per script (or
// one for a run without a script).
#pragma once

#include <string>
#include <vector>

struct JunitCase {
    enum Result { Passed, Failed, Error, Skipped };
    std::string name;    // the script as given
    double seconds = 0;  // wall time
    Result result = Passed;
    std::string message;  // the first line of what went wrong ("FILE:LINE: ...")
    std::string detail;   // all of it
};

// The whole report.
std::string JunitReport(const std::vector<JunitCase>& cases);
