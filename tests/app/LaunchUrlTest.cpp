#include "app/LaunchUrl.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

struct UrlCase {
  const char* name;
  std::string recipient, subject, greeting;
  std::string url;
};

class LaunchUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(LaunchUrlTest, EncodesEachBoxAsOneValue) {
  EXPECT_EQ(BuildLaunchUrl(GetParam().recipient, GetParam().subject, GetParam().greeting),
            GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, LaunchUrlTest,
    ::testing::Values(
        UrlCase{"AllEmpty", "", "", "", "mailto:?Subject=&Body="},
        UrlCase{"Plain", "a@x.ru", "Hi", "Hello", "mailto:a@x.ru?Subject=Hi&Body=Hello"},
        // RFC 6068 section 2: "," separates addresses; the blank must be escaped.
        UrlCase{"TwoAddresses", "a@x, b@y", "", "", "mailto:a@x,%20b@y?Subject=&Body="},
        UrlCase{"DelimitersInSubject", "a@x", "Q&A? 1=1 100% #2", "",
                "mailto:a@x?Subject=Q%26A%3F%201%3D1%20100%25%20%232&Body="},
        UrlCase{"DelimitersInAddress", "a&b?c=d%e#f@x", "", "",
                "mailto:a%26b%3Fc%3Dd%25e%23f@x?Subject=&Body="},
        UrlCase{"AtAndCommaEscapedOutsideTheAddress", "", "a@b,c", "",
                "mailto:?Subject=a%40b%2Cc&Body="},
        UrlCase{"ControlsEscaped", "", "a\r\nb\tc", "",
                "mailto:?Subject=a%0D%0Ab%09c&Body="},
        UrlCase{"UnreservedKept", "", "A-z_0.9~", "", "mailto:?Subject=A-z_0.9~&Body="},
        // "Привет, " in UTF-8: D0 9F D1 80 D0 B8 D0 B2 D0 B5 D1 82, comma, blank.
        UrlCase{"CyrillicGreeting", "", "",
                "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, ",
                "mailto:?Subject=&Body=%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82%2C%20"}),
    [](const ::testing::TestParamInfo<UrlCase>& info) { return std::string(info.param.name); });

TEST(LaunchUrl, TheAuthorLinks) {
  // "Впечатления" and "Привет, " in UTF-8, every byte escaped.
  EXPECT_EQ(AuthorMailUrl(),
            "mailto:author@quillet.example"
            "?Subject=%D0%92%D0%BF%D0%B5%D1%87%D0%B0%D1%82%D0%BB%D0%B5%D0%BD%D0%B8%D1%8F"
            "&Body=%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82%2C%20");
  EXPECT_EQ(AuthorSiteUrl().rfind("https://", 0), 0u);
}

}  // namespace
}  // namespace quillet
