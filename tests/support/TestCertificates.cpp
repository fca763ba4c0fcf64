#include "support/TestCertificates.h"

#include <cstdlib>
#include <stdexcept>

#include "support/ChildProcess.h"

namespace quillet::testing {

namespace {

const char* const kOpenssl = "/usr/bin/openssl";

void RunOpenssl(const std::vector<std::string>& arguments) {
  const ChildResult result = RunChild(kOpenssl, arguments, {}, "", std::chrono::seconds(30));
  if (result.exitCode != 0) {
    throw std::runtime_error("openssl " + arguments.front() + " failed: " + result.err);
  }
}

// Small, quick keys: the tests are about the checks, not the key strength.
const std::vector<std::string> kNewKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                          "-nodes"};

}  // namespace

TestCertificates::TestCertificates() {
  MakeAuthority("authority", "Quillet Test Authority");
  MakeAuthority("stranger-authority", "Stranger Authority");
  MakeServer("localhost", "authority", "DNS:localhost,IP:127.0.0.1");
  MakeServer("other", "authority", "DNS:mail.example.test");
  MakeServer("stranger", "stranger-authority", "DNS:localhost,IP:127.0.0.1");
}

void TestCertificates::MakeAuthority(const std::string& name, const std::string& commonName) const {
  std::vector<std::string> arguments = {"req", "-x509"};
  arguments.insert(arguments.end(), kNewKey.begin(), kNewKey.end());
  arguments.insert(arguments.end(),
                   {"-keyout", folder_.File(name + ".key"), "-out", folder_.File(name + ".pem"),
                    "-days", "2", "-subj", "/CN=" + commonName, "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"});
  RunOpenssl(arguments);
}

void TestCertificates::MakeServer(const std::string& name, const std::string& authority,
                                  const std::string& subjectAltName) const {
  std::vector<std::string> request = {"req", "-new"};
  request.insert(request.end(), kNewKey.begin(), kNewKey.end());
  request.insert(request.end(), {"-keyout", folder_.File(name + ".key"), "-out",
                                 folder_.File(name + ".csr"), "-subj", "/CN=" + name});
  RunOpenssl(request);
  folder_.Write(name + ".ext", "basicConstraints=CA:FALSE\n"
                               "extendedKeyUsage=serverAuth\n"
                               "subjectAltName=" + subjectAltName + "\n");
  RunOpenssl({"x509", "-req", "-in", folder_.File(name + ".csr"), "-CA",
              folder_.File(authority + ".pem"), "-CAkey", folder_.File(authority + ".key"),
              "-CAcreateserial", "-days", "2", "-extfile", folder_.File(name + ".ext"), "-out",
              folder_.File(name + ".pem")});
}

const TestCertificates& SharedTestCertificates() {
  static const TestCertificates certificates;
  return certificates;
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) {
    had_ = true;
    old_ = old;
  }
  ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace quillet::testing
