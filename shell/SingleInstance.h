#pragma once
// One running copy per user: a lock file says whether a copy runs, a local socket
// lets a second copy ask the first to come to the front.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace dsptune {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Result {
    First,              // this is the only copy; activation requests arrive as signals
    ActivatedOther,     // another copy runs and was asked to come to the front
    CannotCheck,        // the lock could not be created
    OtherUnreachable,   // another copy holds the lock but does not answer
  };
  // The check for the name (the lock and the socket are derived from it and the user).
  explicit SingleInstance(const QString& name, QObject* parent = nullptr);
  ~SingleInstance() override;
  Result Check();

  static QString CannotCheckText();       // "创建信标对象失败，程序退出！"
  static QString OtherUnreachableText();  // "已有一个实例在运行，但找不到它的主窗口！"

 signals:
  void activationRequested();

 private:
  QString socketName_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace dsptune
