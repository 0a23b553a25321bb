#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

// The test server's connection text: from PAGER_TEST_POSTGRES (tests/production/with-postgres)
// or the file PAGER_TEST_POSTGRES_FILE names (the CTest fixture). None is a failure, not a skip.
inline std::string TestServer() {
    if (const char* text = std::getenv("PAGER_TEST_POSTGRES")) {
        return text;
    }
    std::string text;
    if (const char* file = std::getenv("PAGER_TEST_POSTGRES_FILE")) {
        std::ifstream in(file);
        std::getline(in, text);
    }
    if (text.empty()) {
        ADD_FAILURE() << "no PostgreSQL test server: run the tests with ctest, or under "
                         "tests/production/with-postgres (scripts/install-deps installs "
                         "PostgreSQL)";
    }
    return text;
}
