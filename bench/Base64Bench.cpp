// Base64 throughput of the MIME encoder beside OpenSSL's, over one mebibyte.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>
#include <string>

#include "coders/Encoder.h"

namespace {

constexpr size_t kInputSize = 1 << 20;

const std::string& Input() {
  static const std::string input = [] {
    std::string bytes(kInputSize, '\0');
    std::mt19937 random(1);
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
  }();
  return input;
}

void BM_QuilletMimeEncode(benchmark::State& state) {
  const std::string& input = Input();
  for (auto _ : state) {
    std::string encoded = quillet::EncodeText<quillet::TQlEncoderMIME>(input);
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kInputSize);
}
BENCHMARK(BM_QuilletMimeEncode);

// The same work as the encoder: a fresh output string of the final size each time.
void BM_OpenSslEncodeBlock(benchmark::State& state) {
  const std::string& input = Input();
  for (auto _ : state) {
    std::string encoded((kInputSize + 2) / 3 * 4 + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                 reinterpret_cast<const unsigned char*>(input.data()),
                                 static_cast<int>(input.size()));
    encoded.resize(length);
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kInputSize);
}
BENCHMARK(BM_OpenSslEncodeBlock);

}  // namespace
