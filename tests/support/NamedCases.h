#pragma once

#include <gtest/gtest.h>
#include <ostream>
#include <string>

// Tables of cases for parameterised tests in which each case carries a
// `name`: the test is named after it, and a failure prints only the name,
// which already says which case failed.
//
// PrintTo is found through the case type's namespace: declare a case type
// outside any unnamed namespace for it to apply.
template <typename Case>
concept NamedCase = requires(const Case& c) {
    std::string(c.name);
};

template <NamedCase Case> void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

// Names the instantiated tests after their cases:
// INSTANTIATE_TEST_SUITE_P(Cases, SomeTest, ::testing::Values(...), CaseName()).
struct CaseName {
    template <NamedCase Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return std::string(info.param.name);
    }
};
