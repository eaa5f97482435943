// The single-instance check against another local user: the names it uses in the shared
// temporary folder are predictable, so that user could plant the lock there or listen on
// the socket first. Neither may stop the window or receive what a second start hands over.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "shell/SingleInstance.h"

using namespace dsptune;

namespace {

// The tag an attacker computes for a user: nothing in it is secret.
QString PredictableTag(const QString& name) {
  const QByteArray key = (name + QStringLiteral("-%1-").arg(::getuid()) + SingleInstance::DisplayKey()).toUtf8();
  return QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

mode_t ModeOf(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    runtime_ = std::make_unique<QTemporaryDir>();
    QFile::setPermissions(runtime_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_->path()));
    name_ = QStringLiteral("dsptune-single-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++count_);
  }
  void cleanup() {
    qunsetenv("XDG_RUNTIME_DIR");
    runtime_.reset();
  }

  // The lock and the socket are in the user's own runtime folder.
  void lockAndSocketAreInTheRuntimeFolder() {
    SingleInstance first(name_);
    QCOMPARE(first.Check(), SingleInstance::Result::First);
    QVERIFY(first.LockPath().startsWith(runtime_->path() + '/'));
    QVERIFY(first.SocketPath().startsWith(runtime_->path() + '/'));
    QVERIFY(QFile::exists(first.LockPath()));
    QVERIFY(S_ISSOCK(ModeOf(first.SocketPath())));
  }

  // Without XDG_RUNTIME_DIR (or with one open to others) a folder of the user's own is
  // made, closed to everyone else.
  void withoutARuntimeFolderAPrivateOneIsMade() {
    for (const bool unset : {true, false}) {
      if (unset) qunsetenv("XDG_RUNTIME_DIR");
      else QFile::setPermissions(runtime_->path(), QFile::permissions(runtime_->path()) | QFile::ReadOther | QFile::ExeOther);
      const QString folder = SingleInstance::PrivateFolder();
      QVERIFY(!folder.isEmpty());
      QVERIFY(folder != runtime_->path());
      struct stat st {};
      QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
      QVERIFY(S_ISDIR(st.st_mode));
      QCOMPARE(st.st_uid, ::getuid());
      QCOMPARE(st.st_mode & 077, 0u);
    }
  }

  // A lock planted under the old name in the shared temporary folder, held (as far as
  // anyone can tell) by a live process, no longer keeps the window from starting.
  void lockPlantedInTheTemporaryFolderDoesNotBlock() {
    const QString planted = QDir::temp().filePath(QStringLiteral("dsptune-%1.lock").arg(PredictableTag(name_)));
    {
      QFile lock(planted);
      QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
      lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                 QCoreApplication::applicationName().toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
    }
    if (::getuid() == 0) ::chown(QFile::encodeName(planted).constData(), 65534, 65534);  // another user's
    SingleInstance first(name_);
    const SingleInstance::Result result = first.Check();
    QFile::remove(planted);
    QCOMPARE(result, SingleInstance::Result::First);
  }

  // A running copy whose socket peer is another user is not trusted: nothing is handed
  // over, and the second start does not quietly give way to it.
  void serverOfAnotherUserIsNotTrusted() {
    SingleInstance first(name_);
    QCOMPARE(first.Check(), SingleInstance::Result::First);
    QSignalSpy activated(&first, &SingleInstance::activationRequested);
    {
      // The connection completes in the kernel, so the copy needs no answer to decide.
      SingleInstance copy(name_);
      copy.SetExpectedPeerUser(::getuid() + 1);  // the listener stands for another user
      QCOMPARE(copy.Check({"--connect", "127.0.0.7:4001", "/home/me/secret.mode"}),
               SingleInstance::Result::OtherUnreachable);
    }
    QTest::qWait(50);  // anything sent would have arrived by now
    QCOMPARE(activated.count(), 0);

    // The same user is still trusted.
    SingleInstance::Result second = SingleInstance::Result::First;
    std::thread same([&] {
      SingleInstance copy(name_);
      second = copy.Check({"a.mode"});
    });
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 5000);
    same.join();
    QCOMPARE(second, SingleInstance::Result::ActivatedOther);
  }

 private:
  std::unique_ptr<QTemporaryDir> runtime_;
  QString name_;
  int count_ = 0;
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
