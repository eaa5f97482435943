#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUrl>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dsptune {
namespace {

constexpr int kAnswerWaitMs = 2000;
// A request is a few paths; anything longer is not from a copy of this program.
constexpr qsizetype kRequestLimit = 64 * 1024;
// The activate line, one line per argument, percent-encoded so that no path can break
// the framing, then the end line.
const QByteArray kActivate = "activate\n";
const QByteArray kArgument = "arg ";
const QByteArray kEnd = "end\n";
const QByteArray kDone = "ok\n";

QByteArray EncodeRequest(const QStringList& arguments) {
  QByteArray request = kActivate;
  for (const QString& argument : arguments) request += kArgument + QUrl::toPercentEncoding(argument) + '\n';
  return request + kEnd;
}

// The arguments of a complete request; false while it is still incomplete.
bool DecodeRequest(const QByteArray& request, QStringList& arguments) {
  if (!request.endsWith(kEnd)) return false;
  arguments.clear();
  for (const QByteArray& line : request.split('\n')) {
    if (line.startsWith(kArgument)) arguments << QUrl::fromPercentEncoding(line.mid(kArgument.size()));
  }
  return true;
}

// A real folder (not a link) owned by this user that no one else may enter or list.
bool IsPrivateFolder(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

// The user at the other end of a connected local socket, as the kernel recorded it.
bool PeerIsUser(const QLocalSocket& socket, uid_t uid) {
  ucred peer{};
  socklen_t size = sizeof peer;
  const int fd = int(socket.socketDescriptor());
  return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
         peer.uid == uid;
}

}  // namespace

QString SingleInstance::DisplayKey() {
  // The display the window would show on; without one (offscreen, a console), the
  // login session.
  QString key = QGuiApplication::platformName();
  for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
    if (const QByteArray value = qgetenv(variable); !value.isEmpty()) return key + '|' + variable + '=' + value;
  }
  return key + QStringLiteral("|session=") + QString::fromLocal8Bit(qgetenv("XDG_SESSION_ID"));
}

QString SingleInstance::PrivateFolder() {
  if (const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"); !runtime.isEmpty() && IsPrivateFolder(runtime))
    return QString::fromLocal8Bit(runtime);
  const QString own = QStringLiteral("dsptune-%1").arg(::getuid());
  for (const QString& parent : {QDir::tempPath(), QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)}) {
    if (parent.isEmpty()) continue;
    QDir().mkpath(parent);
    const QByteArray folder = QFile::encodeName(QDir(parent).filePath(own));
    ::mkdir(folder.constData(), 0700);  // an existing one is checked like a new one
    if (IsPrivateFolder(folder)) return QFile::decodeName(folder);
  }
  return {};
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), expectedPeerUid_(::getuid()) {
  const QByteArray key = (name + QStringLiteral("-%1-").arg(::getuid()) + DisplayKey()).toUtf8();
  const QString tag = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
  const QString folder = PrivateFolder();
  if (folder.isEmpty()) return;  // Check() reports that it cannot check
  socketName_ = QDir(folder).filePath(QStringLiteral("dsptune-") + tag);
  lock_ = std::make_unique<QLockFile>(socketName_ + QStringLiteral(".lock"));
  lock_->setStaleLockTime(0);
}

QString SingleInstance::LockPath() const { return lock_ ? lock_->fileName() : QString(); }

SingleInstance::~SingleInstance() = default;

void SingleInstance::Serve() {
  while (QLocalSocket* client = server_->nextPendingConnection()) {
    if (!PeerIsUser(*client, ::getuid())) {
      client->abort();
      client->deleteLater();
      continue;
    }
    connect(client, &QLocalSocket::readyRead, client, [this, client] {
      QByteArray request = client->property("request").toByteArray() + client->readAll();
      if (request.size() > kRequestLimit) {
        client->abort();
        return;
      }
      client->setProperty("request", request);
      QStringList arguments;
      if (!DecodeRequest(request, arguments)) return;  // the rest is still on its way
      client->setProperty("request", QByteArray());
      client->write(kDone);
      client->flush();
      emit activationRequested(arguments);
    });
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
  }
}

SingleInstance::Result SingleInstance::Check(const QStringList& arguments) {
  if (!lock_) return Result::CannotCheck;
  if (lock_->tryLock(0)) {
    server_ = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(socketName_);  // left over from a copy that crashed
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->listen(socketName_);
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::Serve);
    return Result::First;
  }
  if (lock_->error() != QLockFile::LockFailedError) return Result::CannotCheck;

  QLocalSocket socket;
  socket.connectToServer(socketName_);
  if (!socket.waitForConnected(kAnswerWaitMs)) return Result::OtherUnreachable;
  // Whoever listens there is told the host and the file only when it is this user.
  if (!PeerIsUser(socket, expectedPeerUid_)) return Result::OtherUnreachable;
  socket.write(EncodeRequest(arguments));
  socket.flush();
  if (!socket.waitForReadyRead(kAnswerWaitMs) || !socket.readAll().contains("ok")) return Result::OtherUnreachable;
  return Result::ActivatedOther;
}

QString SingleInstance::CannotCheckText() { return QString::fromUtf8("创建信标对象失败，程序退出！"); }
QString SingleInstance::OtherUnreachableText() { return QString::fromUtf8("已有一个实例在运行，但找不到它的主窗口！"); }

}  // namespace dsptune
