#pragma once

#include <QString>

#include <compare>
#include <optional>

// Additions to strings and to strings used as file paths.
namespace StringAdditions {

// Lower-case hexadecimal SHA-1 of the string's UTF-8 bytes (kept under its
// historical name; it is the same digest as sha1DigestString).
QString clearedWhitespaces(const QString& self);
// A one-character string with the last character. `self` must not be empty.
QString lastChar(const QString& self);
// `self` less one trailing "/", when it ends in one. `self` must not be empty.
QString trimExtraSlashFromEnd(const QString& self);
// `other` relative to the folder that holds `self` ("/p/q/file" to "/p/r/s"
// gives "../r/s"); `other` unchanged when the two share no first component;
// nothing when both are equal.
std::optional<QString> relativePathTo(const QString& self, const QString& other);
// Whether `string` occurs in `self`; false for a null or empty `string`.
bool containsString(const QString& self, const QString& string);

// Sort comparators over file paths. By modification date (symbolic links are
// not followed; a file that cannot be read compares as equivalent, logged),
// and case-insensitively by the last path component.
std::weak_ordering filePathModDateSortMethod(const QString& self, const QString& other);
std::weak_ordering filePathNameSortMethod(const QString& self, const QString& other);

// 40 lower-case hexadecimal characters: the SHA-1 of every UTF-8 byte.
QString sha1DigestString(const QString& self);

}  // namespace StringAdditions
