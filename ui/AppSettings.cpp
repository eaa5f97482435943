#include "ui/AppSettings.h"

namespace dsptune {
namespace {

const QByteArray kDefaultOptionRecord = QByteArray::fromHex("0101010000000000");
constexpr int kDefaultPort = 30303;
// The list keeps the layout of the original's store: a section with File1..File10.
const QString kRecentSection = QStringLiteral("Recent File List");

}  // namespace

AppSettings::AppSettings() : store_(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsName) {}

int AppSettings::Language() const {
  bool ok = false;
  const int value = store_.value("language", 0).toInt(&ok);
  return ok && value == 1 ? 1 : 0;
}

void AppSettings::SetLanguage(int language) { store_.setValue("language", language == 1 ? 1 : 0); }

QByteArray AppSettings::OptionRecord() const {
  const QVariant value = store_.value("QtOption");
  const QByteArray bytes = value.toByteArray();
  return value.isValid() && bytes.size() == 8 ? bytes : kDefaultOptionRecord;
}

void AppSettings::SetOptionRecord(const QByteArray& record) {
  QByteArray bytes = record.left(8);
  bytes.append(QByteArray(8 - bytes.size(), '\0'));
  store_.setValue("QtOption", bytes);
}

bool AppSettings::SaveOptionRecord(const QByteArray& record) {
  SetOptionRecord(record);
  store_.sync();
  return store_.status() == QSettings::NoError;
}

void AppSettings::ResetOptionRecord() { SetOptionRecord(kDefaultOptionRecord); }

int AppSettings::ApplicationLook() const { return store_.value("ApplicationLook", kApplicationLook).toInt(); }
void AppSettings::WriteApplicationLook() {
  // Every start asks for this; setting the same value again would still rewrite the
  // whole store on disk while the window is coming up.
  const QVariant stored = store_.value("ApplicationLook");
  if (!stored.isValid() || stored.toInt() != kApplicationLook) store_.setValue("ApplicationLook", kApplicationLook);
}

QString AppSettings::IpAddress() const { return store_.value("IPAddr", QString()).toString(); }

int AppSettings::IpPort() const {
  bool ok = false;
  const int port = store_.value("IPPort", kDefaultPort).toInt(&ok);
  return ok && port > 0 && port < 65536 ? port : kDefaultPort;
}

void AppSettings::SetNetworkPeer(const QString& address, int port) {
  store_.setValue("IPAddr", address);
  store_.setValue("IPPort", port);
}

bool AppSettings::VerifyAfterWrite() const { return store_.value("VerifyAfterWrite", false).toBool(); }

void AppSettings::SetVerifyAfterWrite(bool on) { store_.setValue("VerifyAfterWrite", on); }

QStringList AppSettings::RecentFiles() const {
  QStringList files;
  for (int i = 1; i <= kRecentFileCount; ++i) {
    const QString path = store_.value(QStringLiteral("%1/File%2").arg(kRecentSection).arg(i)).toString();
    if (!path.isEmpty()) files << path;
  }
  return files;
}

void AppSettings::AddRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.prepend(path);
  SetRecentFiles(files.mid(0, kRecentFileCount));
}

void AppSettings::RemoveRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  if (files.removeAll(path) > 0) SetRecentFiles(files);
}

void AppSettings::SetRecentFiles(const QStringList& files) {
  for (int i = 1; i <= kRecentFileCount; ++i) {
    const QString key = QStringLiteral("%1/File%2").arg(kRecentSection).arg(i);
    if (i <= files.size()) store_.setValue(key, files[i - 1]);
    else store_.remove(key);
  }
}

}  // namespace dsptune
