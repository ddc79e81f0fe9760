// The run's report: one line per check on standard output, the closing
// counts, and the same as JSON for machines.
#pragma once

#include <string>
#include <vector>

#include "Verdict.h"

namespace validator {

struct Totals {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
};

Totals count(const std::vector<Verdict>& verdicts);

// "PASS name", "FAIL name: ...", "SKIP name: why", each note indented below.
std::string reportLine(const Verdict& verdict);
// "N passed, N failed" and ", N skipped" when any were.
std::string closingLine(const Totals& totals);

std::string jsonReport(const std::string& engine, const std::vector<Verdict>& verdicts);
std::string jsonEscape(const std::string& text);

}  // namespace validator
