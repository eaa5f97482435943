#pragma once
// One running copy per user and display: a lock file says whether a copy runs, a local
// socket lets a second copy hand its arguments to the first and ask it to come to the
// front.
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

  static QString CannotCheckText();       // "创建信标对象失败，程序退出！"
  static QString OtherUnreachableText();  // "已有一个实例在运行，但找不到它的主窗口！"

 signals:
  // A later copy started with these arguments (possibly none).
  void activationRequested(const QStringList& arguments);

 private:
  void Serve();

  QString socketName_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace dsptune
