#include "junit_writer.h"

#include <cstdio>

namespace {

const char Replacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence at text[at] and its code point; 0 for a byte that does not
// start a well-formed sequence (RFC 3629: no overlong forms, no surrogates, at most U+10FFFF).
size_t Utf8At(const std::string& text, size_t at, uint32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[at + k]); };
    const uint8_t b = byte(0);
    size_t n;
    uint32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        n = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + n > text.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

bool NonCharacter(uint32_t cp) {
    return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE;
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

std::string Attribute(const std::string& text) {
    return JunitText(text, false, JunitMessageMax);
}

std::string Property(const char* name, const std::string& value) {
    return std::string("      <property name=\"") + name + "\" value=\"" + Attribute(value) +
           "\"/>\n";
}

}  // namespace

std::string JunitText(const std::string& text, bool lines, size_t max) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        uint32_t cp = 0;
        size_t n = Utf8At(text, at, cp);
        if (at + (n == 0 ? 1 : n) > max) break;
        if (n == 0) {
            out += Replacement;
            at += 1;
            continue;
        }
        const uint8_t c = static_cast<uint8_t>(text[at]);
        if (cp == '&') {
            out += "&amp;";
        } else if (cp == '<') {
            out += "&lt;";
        } else if (cp == '>') {
            out += "&gt;";
        } else if (cp == '"') {
            out += "&quot;";
        } else if (lines && (cp == '\n' || cp == '\t')) {
            out.push_back(static_cast<char>(c));
        } else if (cp < 0x20 || cp == 0x7F) {
            char escape[8];
            if (cp == '\r' || cp == '\n' || cp == '\t') {
                std::snprintf(escape, sizeof escape, "\\%c",
                              cp == '\r'   ? 'r'
                              : cp == '\n' ? 'n'
                                           : 't');
            } else {
                std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(cp));
            }
            out += escape;
        } else if (NonCharacter(cp)) {
            out += Replacement;
        } else {
            out.append(text, at, n);
        }
        at += n;
    }
    if (at < text.size()) {
        out += " [... cut: " + std::to_string(text.size()) + " bytes in all, the first " +
               std::to_string(at) + " shown]";
    }
    return out;
}

std::string JunitReport(const JunitRun& run, const std::vector<JunitCase>& cases) {
    int failures = 0, errors = 0;
    double total = 0;
    for (const JunitCase& c : cases) {
        failures += c.result == JunitCase::Failed;
        errors += c.result == JunitCase::Error;
        total += c.seconds;
    }
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<testsuites name=\"drk20vt5p-headless\" tests=\"" + std::to_string(cases.size()) +
         "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
         "\" time=\"" + Seconds(total) + "\">\n";
    for (size_t k = 0; k < cases.size(); ++k) {
        const JunitCase& c = cases[k];
        const std::string name = Attribute(c.name);
        x += "  <testsuite name=\"" + name + "\" id=\"" + std::to_string(k) +
             "\" package=\"scenario\" tests=\"1\" failures=\"" +
             std::to_string(c.result == JunitCase::Failed) + "\" errors=\"" +
             std::to_string(c.result == JunitCase::Error) + "\" skipped=\"" +
             std::to_string(c.result == JunitCase::Skipped) + "\" time=\"" + Seconds(c.seconds) +
             "\">\n";
        x += "    <properties>\n";
        if (!c.file.empty()) x += Property("file", c.file);
        if (c.line != 0) x += Property("line", std::to_string(c.line));
        x += Property("seed", run.seedSet ? std::to_string(run.seed) : "none");
        x += Property("version", run.version);
        char time[32];
        std::snprintf(time, sizeof time, "%llu.%u", static_cast<unsigned long long>(c.ticks / 10),
                      static_cast<unsigned>(c.ticks % 10));
        x += Property("instrument_time", time);
        x += Property("ticks", std::to_string(c.ticks));
        x += "    </properties>\n";
        x += "    <testcase classname=\"scenario\" name=\"" + name + "\" time=\"" +
             Seconds(c.seconds) + "\"";
        if (c.result == JunitCase::Passed && c.attachments.empty()) {
            x += "/>\n  </testsuite>\n";
            continue;
        }
        x += ">\n";
        if (c.result == JunitCase::Skipped) {
            x += "      <skipped>" + Attribute(c.message) + "</skipped>\n";
        } else if (c.result != JunitCase::Passed) {
            const char* tag = c.result == JunitCase::Failed ? "failure" : "error";
            x += std::string("      <") + tag + " message=\"" + Attribute(c.message) + "\">" +
                 JunitText(c.detail, true, JunitDetailMax) + "</" + tag + ">\n";
        }
        if (!c.attachments.empty()) {
            x += "      <system-out>";
            for (const std::string& a : c.attachments)
                x += "[[ATTACHMENT|" + JunitText(a, false, JunitMessageMax) + "]]\n";
            x += "</system-out>\n";
        }
        x += "    </testcase>\n  </testsuite>\n";
    }
    x += "</testsuites>\n";
    return x;
}
