#pragma once

// Switches the whole process to a locale whose decimal separator is a comma,
// as a desktop toolkit does with the user's locale, for one test.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace kelvo {

class CommaLocale {
public:
    CommaLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
#ifdef _WIN32
        active_ = std::setlocale(LC_ALL, "German_Germany.1252") != nullptr;
#else
        // The build makes de_DE under KELVO_TEST_LOCPATH; an installed one
        // is found there too.
        ::setenv("LOCPATH", KELVO_TEST_LOCPATH, 1);
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        ::unsetenv("LOCPATH");
#endif
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, saved_.c_str());
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // Whether the comma locale is in force (checked by the tests, so a
    // missing locale fails them instead of passing them unseen).
    bool active() const {
        return active_ && std::localeconv()->decimal_point[0] == ',';
    }

private:
    std::string saved_;
    bool active_ = false;
};

} // namespace kelvo
