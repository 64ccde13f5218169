#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QKFileLoaderInterface;

// What media files ask of the compositor: unique IDs from the one counter
// shared by files, folders, pages and plug-ins, the render lock under which
// GPU objects that a frame may draw are swapped, the master clock's beats per
// measure, the path of the project file (through the application controller
// and its preset manager), the style compositions that show images and
// texts, and the file loader.
class CompositorInterface {
 public:
  virtual ~CompositorInterface() = default;

  // The counter's value, then the counter goes up by one.
  virtual long getUniqueID() = 0;
  // Keeps later IDs above an ID restored from a snapshot.
  virtual void uniqueIDRecovered(long uniqueID) = 0;

  // Blocking; the render thread only ever try-locks it and skips a frame.
  virtual void lockForRender() = 0;
  virtual void unlockRender() = 0;

  // The master clock's beats per measure (below 1 counts as 4).
  virtual int beatsPerMeasure() { return 4; }
  // The current project file; empty until the project is saved or loaded.
  virtual QString projectSavePath() { return {}; }

  // The image-style compositions: file name to full path, and the titles of
  // the image-source menu in order ("<Built-In Player>" first).
  virtual QMap<QString, QString> imageSourcesPathsDict() { return {}; }
  virtual QStringList imageSourcesNames() { return {}; }
  // The text-style compositions (font synthesisers), the same way.
  virtual QMap<QString, QString> fontSynthPathsDict() { return {}; }
  virtual QStringList fontSynthNames() { return {}; }

  // The application controller's file loader; null while there is none.
  virtual QKFileLoaderInterface* fileLoader() { return nullptr; }
};
