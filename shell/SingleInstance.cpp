#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

#include <unistd.h>

namespace dsptune {
namespace {

constexpr int kAnswerWaitMs = 2000;
const QByteArray kActivate = "activate\n";
const QByteArray kDone = "ok\n";

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
  // Names are per user so two users on one machine each get their own copy.
  const QByteArray key = (name + QStringLiteral("-%1").arg(::getuid())).toUtf8();
  const QString tag = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
  socketName_ = QStringLiteral("dsptune-") + tag;
  lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(QStringLiteral("dsptune-%1.lock").arg(tag)));
  lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Result SingleInstance::Check() {
  if (lock_->tryLock(0)) {
    server_ = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(socketName_);  // left over from a copy that crashed
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->listen(socketName_);
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
      while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::readyRead, client, [this, client] {
          if (client->readAll().contains("activate")) {
            emit activationRequested();
            client->write(kDone);
            client->flush();
          }
        });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      }
    });
    return Result::First;
  }
  if (lock_->error() != QLockFile::LockFailedError) return Result::CannotCheck;

  QLocalSocket socket;
  socket.connectToServer(socketName_);
  if (!socket.waitForConnected(kAnswerWaitMs)) return Result::OtherUnreachable;
  socket.write(kActivate);
  socket.flush();
  if (!socket.waitForReadyRead(kAnswerWaitMs) || !socket.readAll().contains("ok")) return Result::OtherUnreachable;
  return Result::ActivatedOther;
}

QString SingleInstance::CannotCheckText() { return QString::fromUtf8("创建信标对象失败，程序退出！"); }
QString SingleInstance::OtherUnreachableText() { return QString::fromUtf8("已有一个实例在运行，但找不到它的主窗口！"); }

}  // namespace dsptune
