#include "Verdict.h"

#include <cstdarg>
#include <cstdio>

namespace validator {

void Verdict::fail(const std::string& what)
{
    if (status == Status::Fail) {
        message += "; " + what;
    } else {
        message = what;
    }
    status = Status::Fail;
}

void Verdict::fail(const std::string& what, const std::string& expected, const std::string& observed)
{
    fail(what + ": expected " + expected + ", observed " + observed);
}

void Verdict::skip(const std::string& why)
{
    if (status == Status::Fail) {
        return;
    }
    status = Status::Skip;
    message = why;
}

const char* statusWord(Status status)
{
    switch (status) {
    case Status::Pass:
        return "PASS";
    case Status::Fail:
        return "FAIL";
    case Status::Skip:
        return "SKIP";
    }
    return "FAIL";
}

std::string format(const char* fmt, ...)
{
    char buffer[1024];
    va_list arguments;
    va_start(arguments, fmt);
    const int length = std::vsnprintf(buffer, sizeof buffer, fmt, arguments);
    va_end(arguments);
    if (length < 0) {
        return std::string();
    }
    return std::string(buffer, static_cast<size_t>(length) < sizeof buffer ? length : sizeof buffer - 1);
}

}  // namespace validator
