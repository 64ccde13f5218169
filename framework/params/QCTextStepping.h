#pragma once

#include <QString>

// What a composition context needs of a panel's text element (the element
// of a "FileInput" string input, QCAttributeLoader::defaultFileInput): the
// composition's "next" and "prev" outputs step it, and media-bin text
// files replace its text. Reach it with dynamic_cast from the element.
//
// Threads: the steps and loadText belong to the main thread (a render
// thread posts them there, without waiting); steppingButtonsSynced may be
// asked on any thread.
class QCTextStepping {
 public:
  virtual ~QCTextStepping() = default;
  // The forward button's action: to the unit put on deck by a double click
  // when there is one, else one unit on.
  virtual void parseFwdButtonUsed() = 0;
  // The back button's action: one unit back.
  virtual void parseBackButtonUsed() = 0;
  // Whether the forward or the back button follows a data source (outputs
  // then do not step the text).
  virtual bool steppingButtonsSynced() const = 0;
  // The whole text becomes `text`, stepped from where the range lies.
  virtual void loadText(const QString& text) = 0;
};
