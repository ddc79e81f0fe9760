// The outcome of one check: passed, failed (with what was expected and what
// was observed) or skipped (with why), plus notes that inform without failing.
#pragma once

#include <string>
#include <vector>

namespace validator {

enum class Status { Pass, Fail, Skip };

struct Verdict {
    std::string name;
    Status status = Status::Pass;
    std::string message;  // failure or skip reason; empty for a pass
    std::vector<std::string> notes;

    // Records a failure; several failures of one check are joined with "; ".
    void fail(const std::string& what);
    // expected ..., observed ...
    void fail(const std::string& what, const std::string& expected, const std::string& observed);
    // A skip never hides a failure already recorded.
    void skip(const std::string& why);
    void note(const std::string& text) { notes.push_back(text); }
    bool failed() const { return status == Status::Fail; }
};

const char* statusWord(Status status);

// Formats like printf into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace validator
