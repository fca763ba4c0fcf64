#include "coders/Encoder.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

struct Base64Row {
  std::string rowName;
  std::string bytes;
  std::string encoded;
};

class Base64Test : public testing::TestWithParam<Base64Row> {};

TEST_P(Base64Test, EncodesAsRfc2045Base64) {
  EXPECT_EQ(EncodeText<TQlEncoderMIME>(GetParam().bytes), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Base64Test,
    testing::Values(Base64Row{"Empty", "", ""}, Base64Row{"Abc", "abc", "YWJj"},
                    Base64Row{"HighBytesTwoFills", "\xCF\xF0", "z/A="},
                    Base64Row{"OneByteTwoFills", "f", "Zg=="},
                    // RFC 4648 section 10 test vectors.
                    Base64Row{"Rfc4648Fo", "fo", "Zm8="}, Base64Row{"Rfc4648Foo", "foo", "Zm9v"},
                    Base64Row{"Rfc4648Foob", "foob", "Zm9vYg=="},
                    Base64Row{"Rfc4648Fooba", "fooba", "Zm9vYmE="},
                    Base64Row{"Rfc4648Foobar", "foobar", "Zm9vYmFy"},
                    Base64Row{"AllBitsSet", "\xFF\xFF\xFF", "////"},
                    Base64Row{"NulBytes", std::string(4, '\0'), "AAAAAA=="}),
    [](const testing::TestParamInfo<Base64Row>& info) { return info.param.rowName; });

TEST(Base64Test, LongInputIsOneUnbrokenRun) {
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += static_cast<char>(i * 37 + 11);
  std::string encoded = EncodeText<TQlEncoderMIME>(bytes);
  EXPECT_EQ(encoded.size(), 136u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(encoded.substr(0, 8), EncodeText<TQlEncoderMIME>(bytes.substr(0, 6)));
  EXPECT_EQ(encoded.substr(132), "Wg==");  // the last byte, 5A, alone
}

TEST(Base64Test, EncodeFromStreamTakesAtMostTheCountAndAdvances) {
  TQlEncoderMIME encoder;
  ByteStream source("foobar");
  EXPECT_EQ(encoder.EncodeFromStream(source, 3), "Zm9v");
  EXPECT_EQ(source.Remaining(), 3u);
  EXPECT_EQ(encoder.EncodeFromStream(source, 100), "YmFy");
  EXPECT_EQ(source.Remaining(), 0u);
  EXPECT_EQ(encoder.EncodeFromStream(source, 100), "");
  ByteStream untouched("foobar");
  EXPECT_EQ(encoder.EncodeFromStream(untouched, 0), "");
  EXPECT_EQ(encoder.EncodeFromStream(untouched, -5), "");
  EXPECT_EQ(untouched.Remaining(), 6u);
}

TEST(Base64Test, MimeSettingsAndFillCharacter) {
  TQlEncoderMIME encoder;
  EXPECT_EQ(encoder.CodingTable(), kBase64Alphabet);
  EXPECT_EQ(encoder.CodingTable().size(), 64u);
  EXPECT_EQ(encoder.FillChar(), '=');
  encoder.SetFillChar('*');
  EXPECT_EQ(encoder.EncodeText("f"), "Zg**");
  EXPECT_EQ(encoder.EncodeText("fo"), "Zm8*");
}

}  // namespace
}  // namespace quillet
