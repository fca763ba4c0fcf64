// quillet-send: sends one letter over SMTP, as the window's send button does.
//
// Texts arrive in UTF-8 and travel in the ANSI code page; the password comes
// from QUILLET_PASSWORD only, never from the command line, where other users
// could read it. Exit status: 0 sent, 1 the send failed (the error box text on
// standard error), 2 the command line is wrong (the usage on standard error).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/ErrorText.h"
#include "app/FileAccess.h"
#include "app/SendRoad.h"
#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "smtp/SMTP.h"

namespace quillet {
namespace {

constexpr int kExitSent = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage =
    "usage: quillet-send --server HOST [--port TEXT] [--login USER] --from TEXT --to TEXT\n"
    "                    [--subject TEXT] [--body FILE] [--verbose]\n"
    "The password is taken from the environment variable QUILLET_PASSWORD.\n"
    "Without --body the letter is read from standard input.\n";

struct Command {
  LetterForm form;  // texts still in UTF-8 until converted
  std::optional<std::string> bodyFile;
  bool verbose = false;
  bool help = false;
};

// Takes the value of "--name VALUE" or "--name=VALUE"; false when arg is another option.
bool TakeValue(std::string_view arg, std::string_view name, int& index, int argc, char** argv,
               std::optional<std::string>& value) {
  if (arg == name) {
    if (index + 1 >= argc) throw std::invalid_argument(std::string(name) + " needs a value");
    value = argv[++index];
    return true;
  }
  if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
    value = std::string(arg.substr(name.size() + 1));
    return true;
  }
  return false;
}

Command ParseCommand(int argc, char** argv) {
  std::optional<std::string> server, port, login, from, to, subject, body;
  Command command;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--verbose") {
      command.verbose = true;
    } else if (arg == "--help" || arg == "-h") {
      command.help = true;
    } else if (!TakeValue(arg, "--server", i, argc, argv, server) &&
               !TakeValue(arg, "--port", i, argc, argv, port) &&
               !TakeValue(arg, "--login", i, argc, argv, login) &&
               !TakeValue(arg, "--from", i, argc, argv, from) &&
               !TakeValue(arg, "--to", i, argc, argv, to) &&
               !TakeValue(arg, "--subject", i, argc, argv, subject) &&
               !TakeValue(arg, "--body", i, argc, argv, body)) {
      throw std::invalid_argument("unknown argument " + std::string(arg));
    }
  }
  if (command.help) return command;
  if (!server || !from || !to) throw std::invalid_argument("--server, --from and --to are needed");
  command.form.server = *server;
  command.form.portText = port.value_or("25");
  command.form.login = login.value_or("");
  command.form.sender = *from;
  command.form.recipient = *to;
  command.form.subject = subject.value_or("");
  command.bodyFile = body;
  return command;
}

std::string ReadBodyText(const std::optional<std::string>& file) {
  if (!file) {
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::string content;
  if (const int error = ReadFileContent(*file, content); error != 0) {
    throw EFOpenError("Cannot open file \"" + AbsolutePath(*file) + "\". " +
                      std::strerror(error));
  }
  return content;
}

// The form as the window would hold it: every text in the ANSI code page.
LetterForm AnsiForm(const Command& command) {
  const LetterForm& utf8 = command.form;
  LetterForm form;
  form.server = Utf8ToAnsi(utf8.server);
  form.portText = Utf8ToAnsi(utf8.portText);
  form.login = Utf8ToAnsi(utf8.login);
  const char* password = std::getenv("QUILLET_PASSWORD");
  form.password = Utf8ToAnsi(password != nullptr ? password : "");
  form.sender = Utf8ToAnsi(utf8.sender);
  form.recipient = Utf8ToAnsi(utf8.recipient);
  form.subject = Utf8ToAnsi(utf8.subject);
  form.lines = SplitLines(Utf8ToAnsi(ReadBodyText(command.bodyFile)));
  return form;
}

void TraceTo(TQlSMTP& client) {
  client.SetOnStatus([](TQlComponent&, TQlStatus, const std::string& text) {
    std::cerr << AnsiToUtf8(text) << '\n';
  });
  client.SetOnLineTrace([](char direction, const std::string& line) {
    std::cerr << direction << ": " << AnsiToUtf8(line) << '\n';
  });
}

int Run(int argc, char** argv) {
  Command command;
  try {
    command = ParseCommand(argc, argv);
  } catch (const std::invalid_argument& error) {
    std::cerr << "quillet-send: " << error.what() << '\n' << kUsage;
    return kExitUsage;
  }
  if (command.help) {
    std::cout << kUsage;
    return kExitSent;
  }
  try {
    const LetterForm form = AnsiForm(command);
    TQlSMTP client;
    if (command.verbose) TraceTo(client);
    SendLetter(client, form);
    return kExitSent;
  } catch (const Exception& error) {
    std::cerr << AnsiToUtf8(ErrorBoxText(error.Message())) << std::flush;
  } catch (const std::exception& error) {
    std::cerr << ErrorBoxText(error.what()) << std::flush;
  }
  return kExitFailed;
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) { return quillet::Run(argc, argv); }
