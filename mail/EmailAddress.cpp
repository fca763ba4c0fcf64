#include "mail/EmailAddress.h"

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/SystemLocale.h"
#include "platform/TextUtils.h"

namespace quillet {

namespace {

constexpr size_t kNone = std::string_view::npos;

bool IsAtomChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-/=?_{}~|`").find(c) != kNone;
}

bool IsAtomOrSpaceChar(char c) { return c == ' ' || IsAtomChar(c); }

// Searches treat a double-byte character as one, so that its trail byte is
// never taken for "@" or a backslash.
class CharSearch {
 public:
  CharSearch() {
    const int codePage = AnsiCodePage();
    if (codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950) {
      doubleByteCodePage_ = codePage;
    }
  }

  // The position of the first character of text that is in set.
  size_t FirstCharIn(std::string_view set, std::string_view text) const {
    for (size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (doubleByteCodePage_ != 0 && IsLeadByte(doubleByteCodePage_, byte)) {
        ++i;
        continue;
      }
      if (set.find(text[i]) != kNone) return i;
    }
    return kNone;
  }

 private:
  int doubleByteCodePage_ = 0;
};

// Lead bytes are never in the atom set, so a byte-wise search finds the same
// first outsider as a character-wise one.
template <class InSet>
size_t FirstCharNotIn(InSet inSet, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (!inSet(text[i])) return i;
  }
  return kNone;
}

// Text in double quotes (RFC 822 quoted-string), the opening quote included
// and the closing one left to the caller.
std::string OpenQuoted(std::string_view text) {
  std::string result = "\"";
  result.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') result += '\\';
    result += c;
  }
  return result;
}

// One address being parsed: the rest of the input as a view that only ever
// moves forward, so the scan stays linear however long the text.
class AddressParser {
 public:
  AddressParser(std::string& name, std::string& address) : name_(name), address_(address) {}

  void Parse(std::string_view input) {
    const std::string trimmed = Trim(input);
    rest_ = trimmed;
    if (rest_.empty()) return;
    if (search_.FirstCharIn("(\"< @\t", rest_) == kNone) {
      address_ = trimmed;
      return;
    }
    for (;;) {
      const size_t p = search_.FirstCharIn(SearchSet(), rest_);
      if (p == kNone) break;
      Act(p);
    }
    if (inAddress_ && !inAngle_) address_ += Trim(rest_);
  }

 private:
  std::string_view SearchSet() const {
    if (commentDepth_ > 0) return "()\\";
    if (inQuote_) return "\"\\";
    if (afterAt_ && inAngle_) return ".>(";
    if (afterAt_) return ".( ";
    if (inAddress_) return "\"(@>";
    return "(\"< @\t";
  }

  std::string_view Before(size_t p) const { return rest_.substr(0, p); }
  std::string_view Through(size_t p) const { return rest_.substr(0, p + 1); }
  void SkipThrough(size_t p) { rest_.remove_prefix(p + 1); }

  void Act(size_t p) {
    switch (rest_[p]) {
      case ' ':
      case '\t':
        return OnBlank(p);
      case '(':
        return OnOpenComment(p);
      case ')':
        --commentDepth_;
        return SkipThrough(p);
      case '"':
        return OnQuote(p);
      case '<':
        return OnOpenAngle(p);
      case '>':
        inAddress_ = false;
        afterAt_ = false;
        address_ += Trim(Before(p));
        return SkipThrough(p);
      case '@':
        return OnAt(p);
      case '.':
        return OnDot(p);
      default:
        return OnBackslash(p);
    }
  }

  void OnBlank(size_t p) {
    if (p == 0) return SkipThrough(0);
    if (afterAt_) {
      address_ += Trim(Before(p));
    } else {
      name_ += Through(p);
    }
    SkipThrough(p);
  }

  // Only the text before the outermost "(" belongs to the name or the
  // address; text inside a comment, nested or not, never does.
  void OnOpenComment(size_t p) {
    ++commentDepth_;
    if (p > 0 && commentDepth_ == 1) {
      if (inAddress_) {
        address_ += Trim(Before(p));
      } else {
        name_ += Before(p);
      }
    }
    SkipThrough(p);
  }

  void OnQuote(size_t p) {
    if (inQuote_) {
      (inAngle_ ? address_ : name_) += Trim(Before(p));
      inQuote_ = false;
      return SkipThrough(p);
    }
    // A quote that follows other characters of the same word (Ivan"Petrov")
    // keeps those characters in front of the quoted text.
    if (p > 0) (inAddress_ ? address_ : name_) += Before(p);
    inQuote_ = true;
    SkipThrough(p);
  }

  void OnOpenAngle(size_t p) {
    if (p > 0) name_ += Before(p);
    name_ = Trim(name_);
    inAngle_ = true;
    inAddress_ = true;
    SkipThrough(p);
  }

  void OnAt(size_t p) {
    afterAt_ = true;
    if (!inAddress_ && inAngle_) throw EQlEmailParseError("@ Outside address");
    inAddress_ = true;
    address_ += Through(p);
    SkipThrough(p);
  }

  void OnDot(size_t p) {
    if (inAngle_) {
      address_ += Trim(Before(p));
      address_ += '.';
      SkipThrough(p);
      const size_t blanks = rest_.size() - TrimLeft(rest_).size();
      rest_.remove_prefix(blanks);
      return;
    }
    address_ += Through(p);
    SkipThrough(p);
  }

  // In a quoted section the backslash takes the next character over as it is;
  // elsewhere the pair is dropped.
  void OnBackslash(size_t p) {
    const size_t end = std::min(p + 2, rest_.size());
    if (inQuote_) {
      std::string& target = inAddress_ ? address_ : name_;
      target += Before(p);
      target += rest_.substr(p + 1, end - (p + 1));
    }
    rest_.remove_prefix(end);
  }

  std::string& name_;
  std::string& address_;
  CharSearch search_;
  std::string_view rest_;
  bool inAddress_ = false;
  bool inAngle_ = false;
  bool inQuote_ = false;
  bool afterAt_ = false;
  int commentDepth_ = 0;
};

bool IsEmptyEntry(const TQlEMailAddressItem& item) {
  const std::string text = Trim(item.Text());
  return text.empty() || text == "<>";
}

}  // namespace

std::string TQlEMailAddressItem::AddressPart() const {
  if (address_.empty()) return name_.empty() ? "" : "<>";
  const size_t at = address_.rfind('@');
  const std::string_view whole = address_;
  const std::string_view local = at == kNone ? whole : whole.substr(0, at);
  const std::string_view domain = at == kNone ? std::string_view() : whole.substr(at);
  const size_t i = FirstCharNotIn(IsAtomChar, local);
  if (i == kNone || local[i] == '.') {
    return name_.empty() ? address_ : "<" + address_ + ">";
  }
  std::string part = "<";
  part += OpenQuoted(local);
  part += '"';
  part += domain;
  part += '>';
  return part;
}

std::string TQlEMailAddressItem::Text() const {
  if (name_.empty() || name_ == UpperCaseAscii(address_)) return AddressPart();
  if (FirstCharNotIn(IsAtomOrSpaceChar, name_) == kNone) return name_ + " " + AddressPart();
  return OpenQuoted(name_) + "\" " + AddressPart();
}

void TQlEMailAddressItem::SetText(std::string_view text) {
  address_.clear();
  name_.clear();
  AddressParser(name_, address_).Parse(text);
}

TQlEMailAddressItem& TQlEMailAddressList::Add() {
  items_.push_back(std::make_unique<TQlEMailAddressItem>());
  return *items_.back();
}

void TQlEMailAddressList::Delete(int index) {
  items_.erase(items_.begin() + index);
}

void TQlEMailAddressList::SetAddressListText(std::string_view text) {
  Clear();
  if (Trim(text).empty()) return;
  const CharSearch search;
  if (search.FirstCharIn(":;(\", \t", text) == kNone) {
    Add().SetText(TrimLeft(text));
    return;
  }
  // Adds one entry, dropping it again when it says nothing.
  auto addEntry = [this](std::string_view entry) {
    TQlEMailAddressItem& item = Add();
    item.SetText(entry);
    if (IsEmptyEntry(item)) items_.pop_back();
  };
  std::string pending;
  std::string_view rest = text;
  bool inQuote = false;
  int depth = 0;
  for (;;) {
    const std::string_view set = depth > 0 ? "(\\)" : inQuote ? "\"\\" : ":;(\", \t";
    const size_t p = search.FirstCharIn(set, rest);
    if (p == kNone) break;
    const std::string_view before = rest.substr(0, p);
    const std::string_view through = rest.substr(0, p + 1);
    size_t consumed = p + 1;
    switch (rest[p]) {
      case ' ':
      case '\t':
        pending += through;
        break;
      case '"':
        pending += through;
        inQuote = !inQuote;
        break;
      case '(':
        ++depth;
        pending += through;
        break;
      case ')':
        --depth;
        pending += through;
        break;
      case ',':
        pending += before;
        addEntry(pending);
        pending.clear();
        break;
      case ':':
        // A group name and anything before it are not addresses.
        pending.clear();
        break;
      case ';':
        pending += before;
        if (!Trim(pending).empty()) {
          Add().SetText(TrimLeft(pending));
          pending.clear();
        }
        break;
      default:  // backslash: the pair stays together
        consumed = std::min(p + 2, rest.size());
        pending += rest.substr(0, consumed);
        break;
    }
    rest.remove_prefix(consumed);
  }
  if (!Trim(pending).empty() || !Trim(rest).empty()) {
    pending += rest;
    addEntry(TrimLeft(pending));
  }
}

}  // namespace quillet
