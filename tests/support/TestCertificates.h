#pragma once
// Certificates for TLS tests, made when first asked for by the openssl
// command in a temporary folder: a test authority, server certificates it
// signed, and one signed by a second authority that nobody trusts. Clients
// trust the test authority by pointing SSL_CERT_FILE at AuthorityFile().
// Raises std::runtime_error when the openssl command fails.

#include <string>

#include "support/TempFolder.h"

namespace quillet::testing {

struct CertificateFiles {
  std::string certificate;  // PEM file paths
  std::string key;
};

class TestCertificates {
 public:
  TestCertificates();

  // The test authority's certificate.
  std::string AuthorityFile() const { return folder_.File("authority.pem"); }
  // Signed by the test authority for DNS:localhost and IP:127.0.0.1.
  CertificateFiles Localhost() const { return Files("localhost"); }
  // Signed by the test authority for DNS:mail.example.test only.
  CertificateFiles OtherName() const { return Files("other"); }
  // For DNS:localhost and IP:127.0.0.1, signed by an authority not trusted.
  CertificateFiles UnknownAuthority() const { return Files("stranger"); }

 private:
  CertificateFiles Files(const std::string& name) const {
    return {folder_.File(name + ".pem"), folder_.File(name + ".key")};
  }
  void MakeAuthority(const std::string& name, const std::string& commonName) const;
  void MakeServer(const std::string& name, const std::string& authority,
                  const std::string& subjectAltName) const;

  TempFolder folder_;
};

// One set per test program, made on first use.
const TestCertificates& SharedTestCertificates();

// Sets an environment variable for its lifetime and restores it after.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace quillet::testing
