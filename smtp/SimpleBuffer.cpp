#include "smtp/SimpleBuffer.h"

#include <algorithm>

#include "platform/Errors.h"

namespace quillet {

void TQlSimpleBuffer::Resize(int32_t size) {
  bytes_.resize(static_cast<size_t>(std::max(size, 0)));
}

void TQlSimpleBuffer::Append(const char* bytes, int32_t count) {
  if (count > 0) bytes_.append(bytes, static_cast<size_t>(count));
}

void TQlSimpleBuffer::NotifyBytesTaken(int32_t count) {
  if (onBytesTaken_) onBytesTaken_(*this, count);
}

void TQlManagedBuffer::Clear() {
  bytes_.clear();
  consumed_ = 0;
}

std::string TQlManagedBuffer::TakeText(int32_t count) {
  if (count < 0 || count > Size()) throw EQlNotEnoughDataInBuffer();
  std::string text(Data(), static_cast<size_t>(count));
  DropBytes(count);
  return text;
}

void TQlManagedBuffer::DropBytes(int32_t count) {
  if (count < 0 || count > Size()) throw EQlNotEnoughDataInBuffer();
  if (count == Size()) {
    Clear();
  } else {
    consumed_ += count;
    if (consumed_ >= compactThreshold_) Compact();
  }
  NotifyBytesTaken(count);
}

void TQlManagedBuffer::Compact() {
  bytes_.erase(0, static_cast<size_t>(consumed_));
  bytes_.shrink_to_fit();
  consumed_ = 0;
}

}  // namespace quillet
