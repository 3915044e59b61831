#include "junit_writer.h"

#include <cstdio>

#include "scenario.h"

namespace {

// Text for an attribute or element: control characters and stray bytes escaped first
// (XML 1.0 cannot carry them), then the markup characters.
std::string Xml(const std::string& text) {
    std::string out;
    for (char c : PrintableText(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

// Detail lines keep their line breaks.
std::string XmlLines(const std::string& text) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        out += Xml(text.substr(pos, end - pos));
        if (end < text.size()) out += "\n";
        pos = end + 1;
    }
    return out;
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

}  // namespace

std::string JunitReport(const std::vector<JunitCase>& cases) {
    int failures = 0, errors = 0, skipped = 0;
    double total = 0;
    for (const JunitCase& c : cases) {
        failures += c.result == JunitCase::Failed;
        errors += c.result == JunitCase::Error;
        skipped += c.result == JunitCase::Skipped;
        total += c.seconds;
    }
    const std::string counts = "tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                               "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" +
                               Seconds(total) + "\"";
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<testsuites name=\"drk20vt5p-headless\" " + counts + ">\n";
    x += "  <testsuite name=\"drk20vt5p-headless\" " + counts + ">\n";
    for (const JunitCase& c : cases) {
        x += "    <testcase classname=\"scenario\" name=\"" + Xml(c.name) + "\" time=\"" +
             Seconds(c.seconds) + "\"";
        if (c.result == JunitCase::Passed) {
            x += "/>\n";
            continue;
        }
        x += ">\n";
        if (c.result == JunitCase::Skipped) {
            x += "      <skipped message=\"" + Xml(c.message) + "\"/>\n";
        } else {
            const char* tag = c.result == JunitCase::Failed ? "failure" : "error";
            x += std::string("      <") + tag + " message=\"" + Xml(c.message) + "\">" +
                 XmlLines(c.detail) + "</" + tag + ">\n";
        }
        x += "    </testcase>\n";
    }
    x += "  </testsuite>\n</testsuites>\n";
    return x;
}
