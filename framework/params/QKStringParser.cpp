#include "framework/params/QKStringParser.h"

#include "platform/foundation/Log.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool isLineTerminator(QChar c) {
  const char16_t u = c.unicode();
  return u == u'\n' || u == u'\r' || u == 0x2028 || u == 0x2029 || u == 0x85;
}

}  // namespace

bool QKStringParser::isWordSeparator(QChar c) {
  switch (c.unicode()) {
    case u'.':
    case u',':
    case u'?':
    case u'!':
    case u';':
    case u':':
    case u' ':
    case u'\r':
    case u'\n':
      return true;
    default:
      return false;
  }
}

bool QKStringParser::isSentenceEnd(QChar c) {
  switch (c.unicode()) {
    case u'\n':
    case u'.':
    case u'\r':
    case u'?':
    case u'!':
    case u';':
      return true;
    default:
      return false;
  }
}

bool QKStringParser::isWhiteSpace(QChar c) { return c == u' ' || c == u'\r' || c == u'\n'; }

bool QKStringParser::isPunctuation(QChar c) { return isWordSeparator(c) && !isWhiteSpace(c); }

// --- Modes and values ----------------------------------------------------------

void QKStringParser::setParseMode(int mode) {
  parseMode_ = mode;
  parseBy(0);
}

void QKStringParser::setCurrentRange(Range range) {
  if (range.length == 0) range.length = 1;
  currentRange_ = range;
  parseBy(0);
}

void QKStringParser::restoreCurrentRange(Range range) {
  if (!hasOriginal_ || originalString_.isEmpty()) return;
  currentRange_ = clamped(range);
  setCurrentString(currentRange_.length > 0
                       ? originalString_.mid(currentRange_.location, currentRange_.length)
                       : QStringLiteral(" "));
}

void QKStringParser::setOriginalString(const QString& text) {
  originalString_ = text;
  hasOriginal_ = true;
  if (currentRange_.location < 0 || currentRange_.location >= text.size())
    currentRange_ = Range{0, 1};
  parseBy(0);
}

void QKStringParser::setCurrentString(const QString& text) {
  RWTryLock::WriteGuard guard(rwlock_);
  currentString_ = text;
  hasCurrent_ = true;
}

QString QKStringParser::currentString() const {
  RWTryLock::ReadGuard guard(rwlock_);
  return hasCurrent_ ? currentString_ : QString();
}

// --- Stepping ------------------------------------------------------------------

void QKStringParser::parseBy(int steps) {
  if (!hasOriginal_) return;
  if (originalString_.isEmpty()) {
    Log::line("\t\terr: string  length was 0");
    return;
  }
  Range range = snapped(currentRange_);
  const bool forward = steps >= 0;
  for (int i = 0; i < std::abs(steps); ++i) {
    bool hitEnd = false;
    const Range next = stepped(range, forward, hitEnd);
    if (!hitEnd) {
      range = next;
      continue;
    }
    const qsizetype last = originalString_.size() - 1;
    if (loops())
      range = unitFrom(forward ? 0 : last, forward);
    else
      range = unitFrom(forward ? last : 0, forward);
  }
  restoreCurrentRange(range);
}

QKStringParser::Range QKStringParser::snapped(Range range) const {
  switch (parseMode_) {
    case Character:
      return findCharacterAround(range.location);
    case Word:
      return findWordWithPaddingAround(range.location);
    case Sentence:
      return findSentenceAround(range.location);
    case Line:
      return findLineAround(range.location);
    default:
      return range;
  }
}

QKStringParser::Range QKStringParser::stepped(Range range, bool forward, bool& hitEnd) const {
  hitEnd = false;
  if (parseMode_ < Character || parseMode_ > Line) return range;
  qsizetype index = 0;
  if (parseMode_ == Character) {
    const Range here = findCharacterAround(range.location);
    index = forward ? here.end() : here.location - 1;
  } else if (!forward) {
    index = range.location - 1;
  } else if (parseMode_ == Line) {
    qsizetype start = 0, contentsEnd = 0, end = 0;
    lineBounds(range.location, start, contentsEnd, end);
    index = std::max(end, range.end() + 1);  // past the whole terminator ("\r\n" too)
  } else {
    index = range.end();
  }
  if (index < 0 || index >= originalString_.size()) {
    hitEnd = true;
    return range;
  }
  return unitFrom(index, forward);
}

QKStringParser::Range QKStringParser::unitFrom(qsizetype index, bool forward) const {
  switch (parseMode_) {
    case Character:
      return findCharacterAround(index);
    case Word:
      return forward ? findNextWord(index) : findPrevWord(index);
    case Sentence:
      return forward ? findNextSentence(index) : findPrevSentence(index);
    case Line:
      return forward ? findNextLine(index) : findPrevLine(index);
    default:
      return currentRange_;
  }
}

QKStringParser::Range QKStringParser::clamped(Range range) const {
  const qsizetype size = originalString_.size();
  if (range.location < 0) range.location = 0;
  if (range.location >= size) range.location = std::max<qsizetype>(size - 1, 0);
  if (range.length < 0) range.length = 0;
  if (range.end() > size) range.length = std::max<qsizetype>(size - range.location, 0);
  return range;
}

qsizetype QKStringParser::clampIndex(qsizetype index) const {
  return std::clamp<qsizetype>(index, 0, std::max<qsizetype>(originalString_.size() - 1, 0));
}

// --- Characters --------------------------------------------------------------------

QKStringParser::Range QKStringParser::findCharacterAround(qsizetype index) const {
  const QString& s = originalString_;
  if (s.isEmpty()) return {0, 0};
  index = clampIndex(index);
  if (index > 0 && s[index].isLowSurrogate() && s[index - 1].isHighSurrogate()) --index;
  const bool pair =
      index + 1 < s.size() && s[index].isHighSurrogate() && s[index + 1].isLowSurrogate();
  return {index, pair ? 2 : 1};
}

// --- Words -------------------------------------------------------------------------

void QKStringParser::wordStartAround(qsizetype index, qsizetype& anchor, qsizetype& start) const {
  const QString& s = originalString_;
  anchor = clampIndex(index);
  while (anchor > 0 && isWordSeparator(s[anchor])) --anchor;
  start = anchor;
  while (start > 0 && !isWordSeparator(s[start - 1])) --start;
}

QKStringParser::Range QKStringParser::findWordAround(qsizetype index) const {
  const QString& s = originalString_;
  const qsizetype size = s.size();
  if (size == 0) return {0, 0};
  qsizetype anchor = 0, start = 0;
  wordStartAround(index, anchor, start);
  qsizetype end = std::max<qsizetype>(anchor, 1);
  while (end < size) {
    const QChar c = s[end];
    if (isWhiteSpace(c)) break;
    ++end;
    if (isPunctuation(c)) break;
  }
  end = std::min(end, size);
  return {start, std::max<qsizetype>(end - start, 0)};
}

QKStringParser::Range QKStringParser::findWordWithPaddingAround(qsizetype index) const {
  const QString& s = originalString_;
  const qsizetype size = s.size();
  if (size == 0) return {0, 0};
  qsizetype anchor = 0, start = 0;
  wordStartAround(index, anchor, start);
  qsizetype end = std::max<qsizetype>(anchor, 1);
  while (end < size && !isWordSeparator(s[end])) ++end;
  while (end < size && isWordSeparator(s[end])) ++end;
  end = std::min(end, size);
  return {start, std::max<qsizetype>(end - start, 0)};
}

QKStringParser::Range QKStringParser::findNextWord(qsizetype index) const {
  const QString& s = originalString_;
  if (s.isEmpty()) return {0, 0};
  index = clampIndex(index);
  while (index < s.size() - 1 && isWordSeparator(s[index])) ++index;
  return findWordAround(index);
}

QKStringParser::Range QKStringParser::findPrevWord(qsizetype index) const {
  const QString& s = originalString_;
  if (s.isEmpty()) return {0, 0};
  index = std::max<qsizetype>(index, 0);
  if (index < s.size())
    while (index > 1 && isWordSeparator(s[index])) --index;
  return findWordAround(index);
}

// --- Sentences ---------------------------------------------------------------------

QKStringParser::Range QKStringParser::findSentenceAround(qsizetype index) const {
  const QString& s = originalString_;
  const qsizetype size = s.size();
  if (size == 0) return {0, 1};
  index = clampIndex(index);
  qsizetype start = index;
  while (start > 0 && !isSentenceEnd(s[start - 1])) --start;
  while (start < size && isWordSeparator(s[start])) ++start;
  qsizetype end = index;
  while (end < size && !isSentenceEnd(s[end])) ++end;
  if (end < size) ++end;
  while (end < size && isWordSeparator(s[end])) ++end;
  if (start > end) start = end;
  return {start, end - start};
}

QKStringParser::Range QKStringParser::findNextSentence(qsizetype index) const {
  const QString& s = originalString_;
  if (s.isEmpty()) return {0, 1};
  index = std::max<qsizetype>(index, 0);
  while (index < s.size() && isWordSeparator(s[index])) ++index;
  if (index >= s.size()) index = s.size() - 1;
  return findSentenceAround(index);
}

QKStringParser::Range QKStringParser::findPrevSentence(qsizetype index) const {
  const QString& s = originalString_;
  if (s.isEmpty()) return {0, 1};
  index = std::max<qsizetype>(index, 0);
  while (index > 1 && index < s.size() && (isSentenceEnd(s[index]) || s[index] == u' ')) --index;
  return findSentenceAround(index);
}

// --- Lines -------------------------------------------------------------------------

void QKStringParser::lineBounds(qsizetype index, qsizetype& start, qsizetype& contentsEnd,
                                qsizetype& end) const {
  const QString& s = originalString_;
  const qsizetype size = s.size();
  index = clampIndex(index);
  // A "\n" right after "\r" belongs to the line the "\r" ends.
  if (index > 0 && s[index] == u'\n' && s[index - 1] == u'\r') --index;
  start = index;
  while (start > 0 && !isLineTerminator(s[start - 1])) --start;
  contentsEnd = index;
  while (contentsEnd < size && !isLineTerminator(s[contentsEnd])) ++contentsEnd;
  end = contentsEnd;
  if (end < size) {
    const bool crlf = s[end] == u'\r' && end + 1 < size && s[end + 1] == u'\n';
    end += crlf ? 2 : 1;
  }
}

QKStringParser::Range QKStringParser::findLineAround(qsizetype index) const {
  if (originalString_.isEmpty()) return {0, 1};
  qsizetype start = 0, contentsEnd = 0, end = 0;
  lineBounds(index, start, contentsEnd, end);
  return {start, contentsEnd - start};
}

QKStringParser::Range QKStringParser::findPrevLine(qsizetype index) const {
  return findLineAround(index);
}

QKStringParser::Range QKStringParser::findNextLine(qsizetype index) const {
  return findLineAround(index);
}
