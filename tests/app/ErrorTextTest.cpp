#include "app/ErrorText.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

struct PeriodCase {
  const char* name;
  std::string message;
  std::string shown;
};

class ErrorBoxTextTest : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(ErrorBoxTextTest, AppendsAPeriodOnlyAfterACodeAboveThePeriod) {
  EXPECT_EQ(ErrorBoxText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ErrorBoxTextTest,
    ::testing::Values(PeriodCase{"Letter", "abc", "abc."},
                      PeriodCase{"Period", "abc.", "abc."},
                      PeriodCase{"Exclamation", "x!", "x!"},
                      PeriodCase{"Parenthesis", "x)", "x)"},
                      PeriodCase{"Blank", "a ", "a "},
                      PeriodCase{"LineBreak", "line\r\n", "line\r\n"},
                      PeriodCase{"Empty", "", ""},
                      PeriodCase{"Digit", "25", "25."},
                      PeriodCase{"Slash", "a/", "a/."},
                      PeriodCase{"Comma", "a,", "a,"},
                      // A byte above 127 compares unsigned: a Cyrillic letter gets a period.
                      PeriodCase{"CyrillicLetter", "\xEE\xF8\xE8\xE1\xEA\xE0", "\xEE\xF8\xE8\xE1\xEA\xE0."},
                      PeriodCase{"RefusedConnection", "Socket Error # 10061\r\nConnection refused.",
                                 "Socket Error # 10061\r\nConnection refused."},
                      PeriodCase{"BadPort", "'abc' is not a valid integer value",
                                 "'abc' is not a valid integer value."}),
    [](const ::testing::TestParamInfo<PeriodCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
