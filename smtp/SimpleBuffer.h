#pragma once
// In-memory byte buffers of the line connection.
//
// TQlSimpleBuffer is a growable block of bytes. TQlManagedBuffer is the input
// queue: bytes are appended at the back and taken from the front; taking only
// moves a consumed mark, and the taken prefix is discarded when it has grown
// to CompactThreshold bytes or when the buffer is read empty, so taking a line
// does not move the bytes behind it.

#include <cstdint>
#include <functional>
#include <string>

namespace quillet {

class TQlSimpleBuffer {
 public:
  // Fired after bytes have been taken or dropped from the front.
  using BytesTakenEvent = std::function<void(TQlSimpleBuffer& sender, int32_t count)>;

  TQlSimpleBuffer() = default;
  virtual ~TQlSimpleBuffer() = default;
  TQlSimpleBuffer(const TQlSimpleBuffer&) = delete;
  TQlSimpleBuffer& operator=(const TQlSimpleBuffer&) = delete;

  // The bytes as every user sees them.
  virtual int32_t Size() const { return static_cast<int32_t>(bytes_.size()); }
  virtual const char* Data() const { return bytes_.data(); }
  char* MutableData() { return bytes_.data(); }

  // Grows with zero bytes or cuts at the end; a negative size counts as 0.
  void Resize(int32_t size);
  void Append(const char* bytes, int32_t count);
  virtual void Clear() { bytes_.clear(); }

  void SetOnBytesTaken(BytesTakenEvent handler) { onBytesTaken_ = std::move(handler); }

 protected:
  void NotifyBytesTaken(int32_t count);

  std::string bytes_;

 private:
  BytesTakenEvent onBytesTaken_;
};

class TQlManagedBuffer : public TQlSimpleBuffer {
 public:
  int32_t Size() const override { return static_cast<int32_t>(bytes_.size()) - consumed_; }
  const char* Data() const override { return bytes_.data() + consumed_; }
  // The first unconsumed byte.
  const char* UnreadStart() const { return Data(); }
  void Clear() override;

  int32_t ConsumedCount() const { return consumed_; }
  int32_t CompactThreshold() const { return compactThreshold_; }
  void SetCompactThreshold(int32_t value) { compactThreshold_ = value; }

  // The first count unread bytes, which are then dropped.
  // Throws EQlNotEnoughDataInBuffer when fewer are unread.
  std::string TakeText(int32_t count);
  // Throws EQlNotEnoughDataInBuffer when fewer than count bytes are unread;
  // the buffer is then unchanged.
  void DropBytes(int32_t count);
  // Moves the unread bytes to the front of the block.
  void Compact();

 private:
  int32_t consumed_ = 0;
  int32_t compactThreshold_ = 32768;
};

}  // namespace quillet
