#pragma once
// The URLs handed to the desktop: the mail-client launch and the two fixed
// links of the menu. Every text is percent-encoded as RFC 6068 asks, so an
// "&" in a subject stays in the subject and Cyrillic arrives as UTF-8.

#include <string>
#include <string_view>

namespace quillet {

// Percent-encodes UTF-8 text for one hfvalue of a mailto URL: every byte but
// the unreserved characters (letters, digits, "-", ".", "_", "~") becomes %XX
// (upper-case hex).
std::string PercentEncodeUrlPart(std::string_view utf8);

// "mailto:" + recipient + "?Subject=" + subject + "&Body=" + greeting, each
// percent-encoded; "@" and "," stay plain in the recipient (RFC 6068 section 2),
// so "a@x, b@y" becomes "a@x,%20b@y".
std::string BuildLaunchUrl(std::string_view recipientUtf8, std::string_view subjectUtf8,
                           std::string_view greetingUtf8);

// The author's web site.
std::string AuthorSiteUrl();
// A letter to the author with the subject "Впечатления" and the body "Привет, ".
std::string AuthorMailUrl();

}  // namespace quillet
