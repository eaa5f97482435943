#pragma once
// The per-user settings store "LQ830 V1.0": language, option record, visual style,
// last network peer and the recent-file list. Read at start-up, written when a value
// changes. Tests point QSettings at a temporary folder before they create one.
#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>

namespace dsptune {

inline constexpr const char* kSettingsOrganisation = "VONTREL";
inline constexpr const char* kSettingsName = "LQ830 V1.0";
inline constexpr int kApplicationLook = 215;
inline constexpr int kRecentFileCount = 10;

class AppSettings {
 public:
  AppSettings();

  int Language() const;                 // 0 when absent
  void SetLanguage(int language);
  QByteArray OptionRecord() const;      // 8 bytes; 01 01 01 00 00 00 00 00 when absent or unreadable
  void SetOptionRecord(const QByteArray& record);
  void ResetOptionRecord();             // back to the default, stored
  // SetOptionRecord, written through to the store at once; false when that failed.
  bool SaveOptionRecord(const QByteArray& record);
  int ApplicationLook() const;
  void WriteApplicationLook();          // always 215
  QString IpAddress() const;            // empty when absent
  int IpPort() const;                   // 30303 when absent
  void SetNetworkPeer(const QString& address, int port);
  bool VerifyAfterWrite() const;        // false when absent
  void SetVerifyAfterWrite(bool on);
  QStringList RecentFiles() const;      // most recent first, at most 10
  void AddRecentFile(const QString& path);
  void RemoveRecentFile(const QString& path);
  void Sync() { store_.sync(); }

 private:
  void SetRecentFiles(const QStringList& files);
  QSettings store_;
};

}  // namespace dsptune
