#pragma once
// One running copy per user and display: a lock file says whether a copy runs, a local
// socket lets a second copy hand its arguments to the first and ask it to come to the
// front. Both live in the user's own runtime folder, never in the shared temporary
// folder, where another user could take the names first: plant the lock (the window
// would not start) or bind the socket (a second start would hand its host and file to
// that user). The socket's peer must also be the same user before anything is sent.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace dsptune {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Result {
    First,              // this is the only copy; requests from later copies arrive as signals
    ActivatedOther,     // another copy runs; it was given the arguments and asked to come forward
    CannotCheck,        // the lock could not be created
    OtherUnreachable,   // another copy holds the lock but does not answer
  };
  // The check for the name; the lock and the socket are derived from it, the user and
  // the display (or session) the program shows on, so two logins or two displays of
  // one user each get their own copy.
  explicit SingleInstance(const QString& name, QObject* parent = nullptr);
  ~SingleInstance() override;
  // arguments: what a later copy hands over (paths already absolute, since the first
  // copy runs in another folder); ignored for the first copy.
  Result Check(const QStringList& arguments = {});

  // The part of the key that tells displays and sessions apart.
  static QString DisplayKey();
  // The folder the lock and the socket live in: $XDG_RUNTIME_DIR when it is the user's
  // own and closed to others (mode 0700); otherwise a folder made for it with mode 0700
  // in the temporary folder, or failing that in the user's cache folder, each used only
  // when it is a real folder owned by the user and closed to others. Empty when none is.
  static QString PrivateFolder();
  // Where this check keeps its lock and its socket (empty without a private folder).
  QString LockPath() const;
  QString SocketPath() const { return socketName_; }
  // The user a running copy must be (this process's user unless a test says otherwise,
  // to stand for a server of another user).
  void SetExpectedPeerUser(uint uid) { expectedPeerUid_ = uid; }

  static QString CannotCheckText();       // "创建信标对象失败，程序退出！"
  static QString OtherUnreachableText();  // "已有一个实例在运行，但找不到它的主窗口！"

 signals:
  // A later copy started with these arguments (possibly none).
  void activationRequested(const QStringList& arguments);

 private:
  void Serve();

  QString socketName_;
  uint expectedPeerUid_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace dsptune
