#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <vector>

// The process's threads as Linux lists them: which carry a name, and how
// often one has gone to sleep (each timed wait that expires is one more).
class ThreadCensus {
 public:
  static std::vector<int> named(const QString& name) {
    std::vector<int> ids;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& id : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      QFile comm(tasks.filePath(id + QStringLiteral("/comm")));
      if (comm.open(QIODevice::ReadOnly) && QString::fromUtf8(comm.readAll()).trimmed() == name)
        ids.push_back(id.toInt());
    }
    return ids;
  }

  // Voluntary context switches of one thread so far (-1 once it has ended).
  static int64_t sleeps(int id) {
    QFile status(QStringLiteral("/proc/self/task/%1/status").arg(id));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith("voluntary_ctxt_switches:"))
        return line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    return -1;
  }
};
