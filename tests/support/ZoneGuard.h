// Sets the time zone for one test and puts the old one back.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace vantle::test {

class TZoneGuard {
public:
    explicit TZoneGuard(const std::string& zone) {
        if (const char* old = std::getenv("TZ"))
            FSaved = old;
        setenv("TZ", zone.c_str(), 1);
        tzset();
    }
    ~TZoneGuard() {
        FSaved ? setenv("TZ", FSaved->c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    TZoneGuard(const TZoneGuard&) = delete;
    TZoneGuard& operator=(const TZoneGuard&) = delete;

private:
    std::optional<std::string> FSaved;
};

} // namespace vantle::test
