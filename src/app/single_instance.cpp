// One copy per user: the lock and the hand-over over a local socket.
#include "single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QtEndian>
#include <memory>

#include "message_box.h"

namespace brevane::app {

InstancePaths instancePaths(const QString& xdgRuntimeDir, uint uid) {
  InstancePaths p;
  if (!xdgRuntimeDir.isEmpty() && QDir::isAbsolutePath(xdgRuntimeDir)) {
    QString dir = QDir::cleanPath(xdgRuntimeDir);
    p.lockFile = dir + "/BrevaneMutex";
    p.server = dir + "/TBRVMainform";
  } else {
    QString suffix = "-" + QString::number(uid);
    p.lockFile = "/tmp/BrevaneMutex" + suffix;
    p.server = "/tmp/TBRVMainform" + suffix;
  }
  return p;
}

InstancePaths currentInstancePaths() {
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && !QFileInfo(runtime).isDir()) runtime.clear();
  return instancePaths(runtime, static_cast<uint>(::getuid()));
}

InstanceLock::InstanceLock(const QString& path) : m_lock(path) {
  // Only a dead owner makes the lock stale, never its age: the first copy runs for days.
  m_lock.setStaleLockTime(0);
}

bool InstanceLock::acquire() {
  return m_lock.tryLock(0);
}

HandOverServer::HandOverServer(Receiver receiver, QObject* parent) : QObject(parent), m_receiver(std::move(receiver)) {
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&m_server, &QLocalServer::newConnection, this, &HandOverServer::onConnection);
}

bool HandOverServer::listen(const QString& path) {
  QLocalServer::removeServer(path);
  return m_server.listen(path);
}

void HandOverServer::onConnection() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Each message is the text and its terminating zero byte; the answer is the receiver's
    // 32-bit result, sent before the next message is read.
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
      *buffer += socket->readAll();
      qsizetype end;
      while ((end = buffer->indexOf('\0')) >= 0) {
        QString text = QString::fromUtf8(buffer->constData(), end);
        buffer->remove(0, end + 1);
        qint32 result = m_receiver ? m_receiver(text) : 0;
        char answer[4];
        qToLittleEndian(result, answer);
        socket->write(answer, 4);
        socket->flush();
      }
      if (buffer->size() > kMaxHandOverBytes) socket->abort();
    });
  }
}

namespace {

int exchange(const QString& serverPath, const QString& text, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(serverPath);
  if (!socket.waitForConnected(timeoutMs)) return 0;
  QByteArray message = text.toUtf8();
  message.append('\0');
  socket.write(message);
  if (!socket.waitForBytesWritten(timeoutMs)) return 0;
  QByteArray answer;
  while (answer.size() < 4) {
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs)) return 0;
    answer += socket.read(4 - answer.size());
  }
  socket.disconnectFromServer();
  return qFromLittleEndian<qint32>(answer.constData());
}

}  // namespace

int sendHandOver(const QString& serverPath, const QString& text, int timeoutMs) {
  int result = exchange(serverPath, text, timeoutMs);
  if (result == 0)
    showMessageBox(nullptr, BoxIcon::kNone, QStringLiteral("Brevane"), QString::fromUtf8(kHandOverFailed));
  return result;
}

void handOverArguments(const QString& serverPath, const QStringList& arguments) {
  for (const QString& a : arguments) {
    QFileInfo info(a);
    if (info.isFile()) sendHandOver(serverPath, info.absoluteFilePath());
  }
  sendHandOver(serverPath, QString::fromLatin1(kShowWindowCommand));
}

}  // namespace brevane::app
