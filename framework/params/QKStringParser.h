#pragma once

#include "platform/threading/RWTryLock.h"

#include <QString>

// Steps through a text one unit at a time (a character, a word, a sentence
// or a line) and keeps the unit under way as the current string, which a
// composition's text input receives.
//
// Ranges are in UTF-16 code units, as QString counts; a character is a
// whole code point, so stepping never splits a surrogate pair.
//
// Threads: everything belongs to the main thread except currentString(),
// which the render thread reads under the read lock while the main thread
// writes it under the write lock (both spin; neither blocks in the kernel).
class QKStringParser {
 public:
  enum ParseMode { Character = 0, Word = 1, Sentence = 2, Line = 3 };
  enum LoopMode { NoLoop = 0, Loop = 1 };

  struct Range {
    qsizetype location = 0;
    qsizetype length = 0;
    qsizetype end() const { return location + length; }
    bool operator==(const Range& other) const {
      return location == other.location && length == other.length;
    }
  };

  QKStringParser() = default;
  QKStringParser(const QKStringParser&) = delete;
  QKStringParser& operator=(const QKStringParser&) = delete;

  // Snaps the range to the unit around it, then takes `steps` units forward
  // (or back, when negative); at an end, a loop mode other than NoLoop goes
  // on from the other end, NoLoop stays. The unit becomes the current
  // string (" " for an empty one). Nothing without a text; an empty text
  // is logged.
  void parseBy(int steps);

  void setParseMode(int mode);
  int parseMode() const { return parseMode_; }
  void setLoopMode(int mode) { loopMode_ = mode; }
  int loopMode() const { return loopMode_; }
  bool loops() const { return loopMode_ != NoLoop; }

  // A length of 0 becomes 1; then snaps.
  void setCurrentRange(Range range);
  // The range as it was saved, unsnapped (cut to the text).
  void restoreCurrentRange(Range range);
  Range currentRange() const { return currentRange_; }

  // A location no longer inside the text restarts at (0, 1); then snaps.
  void setOriginalString(const QString& text);
  const QString& originalString() const { return originalString_; }
  bool hasOriginalString() const { return hasOriginal_; }

  void setCurrentString(const QString& text);
  // Any thread; null before the first step.
  QString currentString() const;

  // Unit finders: the unit at (or next to, or before) a character index.
  // Without a text they answer (0, 0), the sentence and line finders (0, 1).
  Range findWordAround(qsizetype index) const;
  Range findWordWithPaddingAround(qsizetype index) const;
  Range findPrevWord(qsizetype index) const;
  Range findNextWord(qsizetype index) const;
  Range findSentenceAround(qsizetype index) const;
  Range findPrevSentence(qsizetype index) const;
  Range findNextSentence(qsizetype index) const;
  Range findLineAround(qsizetype index) const;
  Range findPrevLine(qsizetype index) const;
  Range findNextLine(qsizetype index) const;
  Range findParagraphAround(qsizetype) const { return {0, 1}; }
  // The character (code point) at an index: (index, 1), or 2 for a
  // surrogate pair; an index on a pair's second half moves to its first.
  Range findCharacterAround(qsizetype index) const;

  static bool isWordSeparator(QChar c);
  static bool isSentenceEnd(QChar c);
  static bool isWhiteSpace(QChar c);
  static bool isPunctuation(QChar c);

 private:
  Range snapped(Range range) const;
  // One step from `range`; `hitEnd` tells whether the text ran out.
  Range stepped(Range range, bool forward, bool& hitEnd) const;
  // The unit a step in that direction takes at `index` (also where it goes
  // on after running out).
  Range unitFrom(qsizetype index, bool forward) const;
  Range clamped(Range range) const;
  // A word's anchor (the index, or the last word character before it) and
  // start.
  void wordStartAround(qsizetype index, qsizetype& anchor, qsizetype& start) const;
  qsizetype clampIndex(qsizetype index) const;
  // The line holding `index`: its start, the end of its contents and its
  // end past the terminator.
  void lineBounds(qsizetype index, qsizetype& start, qsizetype& contentsEnd, qsizetype& end) const;

  int parseMode_ = Character;
  int loopMode_ = Loop;
  QString originalString_;
  bool hasOriginal_ = false;
  Range currentRange_{0, 1};
  mutable RWTryLock rwlock_;
  QString currentString_;    // under rwlock_
  bool hasCurrent_ = false;  // under rwlock_
};
