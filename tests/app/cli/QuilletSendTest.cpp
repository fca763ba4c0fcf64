#include <regex>

#include <gtest/gtest.h>

#include "support/AiosmtpdServer.h"
#include "support/ScriptedServer.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace quillet {
namespace {

using testing::AiosmtpdOptions;
using testing::AiosmtpdServer;
using testing::ChildEnvironment;
using testing::ChildResult;
using testing::ReceivedLetter;
using testing::RunChild;
using testing::TempFolder;

const std::string kProgram = std::string(QUILLET_BIN_DIR) + "/quillet-send";

// A Russian system (ANSI code page 1251) and the server's password.
ChildEnvironment Environment(const std::string& password = "s3cret") {
  return {{{"LC_ALL", "ru_RU.UTF-8"}, {"QUILLET_PASSWORD", password}}};
}

std::vector<std::string> Arguments(uint16_t port, std::vector<std::string> more = {}) {
  std::vector<std::string> arguments = {"--server", "127.0.0.1", "--port", std::to_string(port),
                                        "--login", "quillet", "--from", "a@example.ru",
                                        "--to", "b@example.ru"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

std::string BodyOf(const std::string& data) {
  const auto end = data.find("\r\n\r\n");
  return end == std::string::npos ? "<no body>" : data.substr(end + 4);
}

TEST(QuilletSend, DeliversACyrillicLetterToARealServer) {
  AiosmtpdServer server;
  TempFolder folder;
  // UTF-8: "Привет, мир!", ".", ".точка", "", "конец"; LF and CR LF line ends.
  folder.Write("letter.txt",
               "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80!\n"
               ".\r\n"
               ".\xD1\x82\xD0\xBE\xD1\x87\xD0\xBA\xD0\xB0\n"
               "\n"
               "\xD0\xBA\xD0\xBE\xD0\xBD\xD0\xB5\xD1\x86\n");
  const std::string sender = "\xD0\x92\xD0\xB0\xD1\x81\xD1\x8F <vasya@example.ru>";  // Вася
  const std::string subject = "\xD0\xA2\xD0\xB5\xD0\xBC\xD0\xB0 & \xE2\x84\x96" "1";  // Тема & №1
  const ChildResult run = RunChild(
      kProgram,
      {"--server", "127.0.0.1", "--port", std::to_string(server.Port()), "--login", "quillet",
       "--from", sender, "--to", "petr@example.ru, olga@example.ru", "--subject", subject,
       "--body", folder.File("letter.txt")},
      Environment());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");

  const auto letters = server.Letters(1);
  ASSERT_EQ(letters.size(), 1u);
  const ReceivedLetter& letter = letters[0];
  EXPECT_EQ(letter.login, "quillet");
  EXPECT_EQ(letter.mailFrom, "vasya@example.ru");
  EXPECT_EQ(letter.recipients, (StringList{"petr@example.ru", "olga@example.ru"}));
  EXPECT_EQ(letter.Header("From"), sender);
  EXPECT_EQ(letter.Header("Subject"), subject);
  EXPECT_EQ(letter.Header("To"), "petr@example.ru, olga@example.ru");
  EXPECT_EQ(letter.Header("MIME-Version"), "1.0");
  EXPECT_TRUE(std::regex_match(letter.Header("Content-Type"),
                               std::regex("text/plain;\\s*charset=\"windows-1251\"")))
      << letter.Header("Content-Type");
  EXPECT_EQ(letter.Header("Content-Transfer-Encoding"), "8bit");
  EXPECT_TRUE(std::regex_match(letter.Header("Message-ID"),
                               std::regex("<[0-9a-f]{32}@example\\.ru>")));
  EXPECT_TRUE(std::regex_match(letter.Header("Date"),
                               std::regex("\\w{3}, \\d{1,2} \\w{3} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}")))
      << letter.Header("Date");
  // The same lines in code page 1251, dots as written.
  EXPECT_EQ(BodyOf(letter.data),
            "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!\r\n"
            ".\r\n"
            ".\xF2\xEE\xF7\xEA\xE0\r\n"
            "\r\n"
            "\xEA\xEE\xED\xE5\xF6\r\n");
}

TEST(QuilletSend, ReadsTheBodyFromStandardInputAndTracesWithoutTheSecrets) {
  AiosmtpdServer server;
  const ChildResult run = RunChild(kProgram, Arguments(server.Port(), {"--verbose"}),
                                   Environment(), "line one\nline two");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const auto letters = server.Letters(1);
  ASSERT_EQ(letters.size(), 1u);
  EXPECT_EQ(BodyOf(letters[0].data), "line one\r\nline two\r\n");
  EXPECT_NE(run.err.find("C: AUTH LOGIN\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("C: ***\n"), std::string::npos);
  EXPECT_NE(run.err.find("S: 250 Message accepted for delivery\n"), std::string::npos);
  EXPECT_NE(run.err.find("C: line two\n"), std::string::npos);
  EXPECT_EQ(run.err.find("s3cret"), std::string::npos);
  EXPECT_EQ(run.err.find("czNjcmV0"), std::string::npos);  // the password in Base64
}

TEST(QuilletSend, ARefusedConnectionShowsTheSocketErrorWithoutASecondPeriod) {
  const ChildResult run = RunChild(kProgram, Arguments(testing::UnusedLoopbackPort()), Environment(), "x");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(run.out, "");
}

TEST(QuilletSend, AWrongPasswordShowsTheServersReply) {
  AiosmtpdServer server;
  const ChildResult run = RunChild(kProgram, Arguments(server.Port()), Environment("wrong"), "x");
  EXPECT_EQ(run.exitCode, 1);
  // The reply's text ends in a line break, so no period is added.
  EXPECT_EQ(run.err, "5.7.8 Authentication credentials invalid\r\n");
  EXPECT_TRUE(server.Letters(0).empty());
}

TEST(QuilletSend, ARefusedRecipientShowsTheServersReplyAndNothingIsDelivered) {
  AiosmtpdOptions options;
  options.refusedRecipients = {"nobody@example.ru"};
  AiosmtpdServer server(options);
  std::vector<std::string> arguments = Arguments(server.Port());
  arguments[9] = "nobody@example.ru";
  const ChildResult run = RunChild(kProgram, arguments, Environment(), "x");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "5.1.1 No such user here\r\n");
  EXPECT_TRUE(server.Letters(0).empty());
}

TEST(QuilletSend, APortTextThatIsNoNumberGetsAPeriod) {
  std::vector<std::string> arguments = Arguments(25);
  arguments[3] = "abc";
  const ChildResult run = RunChild(kProgram, arguments, Environment(), "x");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "'abc' is not a valid integer value.");
}

TEST(QuilletSend, AMissingBodyFileIsReported) {
  TempFolder folder;
  const ChildResult run = RunChild(
      kProgram, Arguments(25, {"--body", folder.File("none.txt")}), Environment());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Cannot open file \"" + folder.File("none.txt") +
                         "\". No such file or directory.");
}

struct UsageCase {
  const char* name;
  std::vector<std::string> arguments;
};

class QuilletSendUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(QuilletSendUsage, PrintsTheUsageAndExitsWith2) {
  const ChildResult run = RunChild(kProgram, GetParam().arguments, Environment());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("usage: quillet-send --server HOST"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, QuilletSendUsage,
    ::testing::Values(UsageCase{"NoArguments", {}},
                      UsageCase{"NoRecipient", {"--server", "h", "--from", "a@x"}},
                      UsageCase{"NoServer", {"--from", "a@x", "--to", "b@y"}},
                      UsageCase{"ValueMissing", {"--server", "h", "--from", "a@x", "--to"}},
                      UsageCase{"UnknownOption",
                                {"--server", "h", "--from", "a@x", "--to", "b@y", "--password", "p"}}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
