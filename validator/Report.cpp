#include "Report.h"

#include <cstdio>

namespace validator {

Totals count(const std::vector<Verdict>& verdicts)
{
    Totals totals;
    for (const Verdict& verdict : verdicts) {
        switch (verdict.status) {
        case Status::Pass:
            ++totals.passed;
            break;
        case Status::Fail:
            ++totals.failed;
            break;
        case Status::Skip:
            ++totals.skipped;
            break;
        }
    }
    return totals;
}

std::string reportLine(const Verdict& verdict)
{
    std::string line = std::string(statusWord(verdict.status)) + " " + verdict.name;
    if (!verdict.message.empty()) {
        line += ": " + verdict.message;
    }
    for (const std::string& note : verdict.notes) {
        line += "\n    " + note;
    }
    return line;
}

std::string closingLine(const Totals& totals)
{
    std::string line = std::to_string(totals.passed) + " passed, " + std::to_string(totals.failed) + " failed";
    if (totals.skipped > 0) {
        line += ", " + std::to_string(totals.skipped) + " skipped";
    }
    return line;
}

std::string jsonEscape(const std::string& text)
{
    std::string out;
    for (unsigned char ch : text) {
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (ch < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", ch);
                out += code;
            } else {
                out += static_cast<char>(ch);
            }
        }
    }
    return out;
}

std::string jsonReport(const std::string& engine, const std::vector<Verdict>& verdicts)
{
    const Totals totals = count(verdicts);
    std::string json = "{\n  \"engine\": \"" + jsonEscape(engine) + "\",\n  \"checks\": [";
    for (size_t i = 0; i < verdicts.size(); ++i) {
        const Verdict& verdict = verdicts[i];
        std::string status = statusWord(verdict.status);
        for (char& ch : status) {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
        json += std::string(i == 0 ? "\n" : ",\n") + "    {\"name\": \"" + jsonEscape(verdict.name) +
                "\", \"status\": \"" + status + "\", \"message\": \"" + jsonEscape(verdict.message) +
                "\", \"notes\": [";
        for (size_t n = 0; n < verdict.notes.size(); ++n) {
            json += std::string(n == 0 ? "" : ", ") + "\"" + jsonEscape(verdict.notes[n]) + "\"";
        }
        json += "]}";
    }
    json += "\n  ],\n  \"passed\": " + std::to_string(totals.passed) +
            ",\n  \"failed\": " + std::to_string(totals.failed) +
            ",\n  \"skipped\": " + std::to_string(totals.skipped) + "\n}\n";
    return json;
}

}  // namespace validator
