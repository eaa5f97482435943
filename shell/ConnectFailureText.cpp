#include "shell/ConnectFailureText.h"

#include <cerrno>

#include "link/UsbLink.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {

QString NetworkErrorReason(int error) {
  switch (error) {
    case ECONNREFUSED: return PickText("连接被拒绝：该地址没有设备在监听", "connection refused: nothing listens at that address");
    case ETIMEDOUT: return PickText("连接超时：设备没有应答", "timed out: the device did not answer");
    case EHOSTUNREACH:
    case ENETUNREACH: return PickText("无法到达：没有通往该地址的路由", "no route to host");
    case EINVAL: return PickText("地址无效", "not a valid IPv4 address");
    case EACCES: return PickText("没有权限", "permission denied");
    case ENETDOWN: return PickText("网络未启用", "the network is down");
    case EADDRNOTAVAIL: return PickText("地址不可用", "address not available");
    case 0: return PickText("无法创建网络连接", "no network socket could be made");
    default: return PickText("其他网络错误", "other network error");
  }
}

QString NetworkConnectFailureText(int error) {
  return PickText(QString::fromUtf8("错误%1，请确认IP地址和端口号正确!\n（%2）").arg(error).arg(NetworkErrorReason(error)),
                  QStringLiteral("Connect failed. Error %1 (%2)").arg(error).arg(NetworkErrorReason(error)));
}

QString HostNotResolvedText(const QString& host) {
  return PickText(QString::fromUtf8("找不到主机“%1”，请确认主机名或IP地址正确!"),
                  QStringLiteral("Connect failed: the host name '%1' does not resolve"))
      .arg(host);
}

QString UsbPermissionPaneText() { return PickText("USB：无权限访问设备", "USB: no permission"); }

QString UsbPermissionNoticeText(const QString& devicePath) {
  const QString rule = QString::fromLatin1(kUdevRuleFile);
  const QString dir = QString::fromLatin1(kUdevRuleDir);
  return PickText(QString::fromUtf8("已找到设备 %1，但当前用户没有权限打开它。\n"
                                    "请把 udev 规则 %2 安装到 %3，然后重新插拔设备。\n"
                                    "详见 docs/usb-permissions.md。")
                      .arg(devicePath, rule, dir),
                  QStringLiteral("The device %1 is present, but this user may not open it.\n"
                                 "Install the udev rule %2 into %3, then unplug and replug the device.\n"
                                 "See docs/usb-permissions.md.")
                      .arg(devicePath, rule, dir));
}

}  // namespace dsptune
