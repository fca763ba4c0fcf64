// Address-list parsing and header folding over a 10 KB and a 1 MB text: the
// two should scale linearly, the larger about 100 times the smaller.

#include <benchmark/benchmark.h>

#include <string>

#include "mail/EmailAddress.h"
#include "mail/HeaderList.h"

namespace {

std::string AddressListText(size_t size) {
  std::string text;
  for (int i = 0; text.size() < size; ++i) {
    const std::string n = std::to_string(i);
    text += (i % 3 == 0 ? "\"Petrov, Ivan " + n + "\" <ivan" : "User " + n + " <user") + n +
            "@example.com>, ";
  }
  return text;
}

// Plain words, commas and Q-encoded words, as a long To or Subject carries them.
std::string HeaderValue(size_t size) {
  std::string text;
  for (int i = 0; text.size() < size; ++i) {
    text += i % 4 == 0 ? "=?windows-1251?Q?=CF=F0=E8=E2=E5=F2,_=EC=E8=F0?= " : "word" + std::to_string(i) + ", ";
  }
  return text;
}

void BM_ParseAddressList(benchmark::State& state) {
  const std::string text = AddressListText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    quillet::TQlEMailAddressList list;
    list.SetAddressListText(text);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_FoldHeader(benchmark::State& state) {
  const std::string value = HeaderValue(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    quillet::TQlHeaderList list;
    list.SetHeader("To", value);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * value.size()));
}

BENCHMARK(BM_ParseAddressList)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FoldHeader)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace
