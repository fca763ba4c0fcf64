// The header block as an independent reader sees it: Debian's Python mail
// parser must decode every field back to the text that was put in.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "mail/Message.h"
#include "platform/CodePage.h"
#include "platform/SystemLocale.h"
#include "platform/TimeZone.h"

namespace quillet {
namespace {

std::string RunReader(const std::string& headerBlock) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("quillet-headers-" + std::to_string(::getpid()) + ".eml");
  {
    std::ofstream file(path, std::ios::binary);
    file << headerBlock << "\r\nbody\r\n";
  }
  const std::string command = "timeout 60 /usr/bin/python3 " QUILLET_SOURCE_DIR
                              "/tests/mail/read_headers.py " + path.string();
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer;
    size_t count;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), count);
    ::pclose(pipe);
  }
  std::filesystem::remove(path);
  return output;
}

TEST(MessageReader, EveryFieldDecodesToTheOriginalText) {
  ScopedTimeZone zone("<+03>-3");
  ScopedSystemLocale locale("ru_RU.UTF-8");
  const std::string subject =
      "Отчёт за декабрь, план на январь, итоги года, сроки сдачи, бюджет отдела, "
      "кадры и задачи, подготовка отчётов и согласованиея";
  const std::string ansiSubject = Utf8ToAnsi(subject);
  ASSERT_EQ(std::count_if(ansiSubject.begin(), ansiSubject.end(),
                          [](char c) { return static_cast<unsigned char>(c) >= 0xA8; }),
            100);
  const std::string organization = "ООО «Ромашка», отдел продаж, Москва";
  const std::vector<std::pair<std::string, std::string>> recipients = {
      {"Пётр Сидоров", "petr@example.com"},
      {"", "anna@example.com"},
      {"Petrov, Ivan", "ivan.petrov@example.com"},
      {"Мария \"Маша\" Иванова", "maria@example.com"},
      {"Отдел кадров (Москва)", "hr@example.org"}};

  TQlMessage message;
  message.From().SetText(Utf8ToAnsi("Иван Петров <ivan@example.com>"));
  message.SetSubject(Utf8ToAnsi(subject));
  message.SetOrganization(Utf8ToAnsi(organization));
  for (const auto& [name, address] : recipients) {
    auto& item = message.Recipients().Add();
    item.SetName(Utf8ToAnsi(name));
    item.SetAddress(address);
  }
  const std::string block = JoinLines(message.BuildHeaders()->Lines());

  std::string expected = "From\tИван Петров\tivan@example.com\n";
  for (const auto& [name, address] : recipients) expected += "To\t" + name + "\t" + address + "\n";
  expected += "Subject\t" + subject + "\nOrganization\t" + organization + "\n";
  EXPECT_EQ(RunReader(block), expected) << block;
}

}  // namespace
}  // namespace quillet
