// A line break inside a header value, as a user may paste into a subject,
// must not start a header line of its own.

#include <gtest/gtest.h>

#include "mail/HeaderList.h"

namespace quillet {
namespace {

TEST(HeaderInjection, TextAfterALineBreakContinuesTheHeader) {
  TQlHeaderList headers;
  headers.SetHeader("Subject", "first\r\nBcc: victim@example.com");
  EXPECT_EQ(headers.Lines(), (StringList{"Subject: first", " Bcc: victim@example.com"}));
  EXPECT_EQ(headers.FindHeader("Bcc"), -1);
  EXPECT_EQ(headers.HeaderValue("Subject"), "first Bcc: victim@example.com");
}

TEST(HeaderInjection, AnEmptyLineCannotEndTheHeaderBlock) {
  TQlHeaderList headers;
  headers.SetHeader("Subject", "first\r\n\r\nbody text");
  EXPECT_EQ(headers.Lines(), (StringList{"Subject: first", " body text"}));
}

TEST(HeaderInjection, FoldsThatAlreadyContinueAreKept) {
  TQlHeaderList headers;
  EXPECT_EQ(headers.FoldHeader("Content-Type: text/plain;\r\n\tcharset=\"ISO-8859-1\""),
            (StringList{"Content-Type: text/plain;", "\tcharset=\"ISO-8859-1\""}));
}

}  // namespace
}  // namespace quillet
