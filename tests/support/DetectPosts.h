#pragma once

#include "framework/datasource/InputNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"

#include <QKeyEvent>
#include <QString>

#include <cstdint>

// Posts what the MIDI input and the key handling post for detection, as a
// learning control receives them.
inline void postMIDIDetect(int status, int note, int velocity, int channel = 1) {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(InputNotifications::MIDIDetect), nullptr,
      {{QString::fromLatin1(InputNotifications::MessageKey),
        QVariant::fromValue(QKMIDIMessage(std::uint8_t(status), channel, std::uint8_t(note),
                                          std::uint8_t(velocity)))}});
}

inline void postKeyDetect(const QString& text, bool autoRepeat = false, int key = Qt::Key_A,
                          QEvent::Type type = QEvent::KeyPress) {
  QKeyEvent event(type, key, Qt::NoModifier, text, autoRepeat);
  NotificationCenter::defaultCenter().post(QString::fromLatin1(InputNotifications::KeyDetect),
                                           &event);
}
