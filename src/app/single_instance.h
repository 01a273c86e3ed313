// One copy per user: the lock "BrevaneMutex" and the hand-over of files and of the show command
// from a second start to the running copy over a per-user local socket.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace brevane::app {

/// The text that asks the running copy to show its window.
inline constexpr char kShowWindowCommand[] = "!!!SHOWWINDOW!!!";
/// The built-in text shown when a hand-over is not answered.
inline constexpr char kHandOverFailed[] = "Ошибка при передаче данных!";
/// Longest text a hand-over message may carry; longer ones end the connection.
inline constexpr int kMaxHandOverBytes = 64 * 1024;

/// The folder of the lock and the socket: $XDG_RUNTIME_DIR when it is an absolute path, else
/// /tmp. `suffix` ("-<uid>") is appended to the names only in /tmp, which other users share.
struct InstancePaths {
  QString lockFile;  // .../BrevaneMutex
  QString server;    // .../TBRVMainform
};
InstancePaths instancePaths(const QString& xdgRuntimeDir, uint uid);
/// The paths of this user and this environment.
InstancePaths currentInstancePaths();

/// The single-instance lock, held for the life of the first copy.
class InstanceLock {
 public:
  explicit InstanceLock(const QString& path);
  /// True when this process now holds the lock (a lock left by a copy that has died is taken
  /// over); false when another living copy holds it.
  bool acquire();

 private:
  QLockFile m_lock;
};

/// The receiving side: answers every message with the receiver's result (always 1).
class HandOverServer : public QObject {
  Q_OBJECT
 public:
  using Receiver = std::function<int(const QString& text)>;
  HandOverServer(Receiver receiver, QObject* parent = nullptr);
  /// Listens at `path` (a stale socket there is removed first: the caller holds the lock).
  bool listen(const QString& path);
  QString errorString() const { return m_server.errorString(); }

 private:
  void onConnection();

  Receiver m_receiver;
  QLocalServer m_server;
};

/// The sending side (uSenderMain): sends one text and waits for the answer. Returns the
/// receiver's result, 0 when no copy is listening or none answers within `timeoutMs`; on 0
/// the built-in failure box is shown.
int sendHandOver(const QString& serverPath, const QString& text, int timeoutMs = 5000);

/// The second-start path: every argument that names an existing file (made absolute) is sent,
/// then the show command. Folders and names of nothing are not sent.
void handOverArguments(const QString& serverPath, const QStringList& arguments);

}  // namespace brevane::app
