#pragma once
// One e-mail address (display name and mailbox) and ordered lists of them,
// parsed from what a user types and written back as header text.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TQlEMailAddressList;

class TQlEMailAddressItem {
 public:
  TQlEMailAddressItem() = default;

  const std::string& Address() const { return address_; }
  void SetAddress(std::string address) { address_ = std::move(address); }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // Name and Address as header text.
  std::string Text() const;
  // Parses one address into Name and Address; may raise EQlEmailParseError,
  // keeping what was parsed up to there.
  void SetText(std::string_view text);
  std::string AddressPart() const;

 private:
  std::string address_;
  std::string name_;
};

class TQlEMailAddressList {
 public:
  TQlEMailAddressItem& Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TQlEMailAddressItem& operator[](int index) { return *items_[static_cast<size_t>(index)]; }
  const TQlEMailAddressItem& operator[](int index) const { return *items_[static_cast<size_t>(index)]; }
  void Delete(int index);
  void Clear() { items_.clear(); }
  // Replaces the whole list with the addresses parsed from one text.
  void SetAddressListText(std::string_view text);

 private:
  std::vector<std::unique_ptr<TQlEMailAddressItem>> items_;
};

}  // namespace quillet
