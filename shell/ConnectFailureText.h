#pragma once
// What the window says when a device could not be reached: a network connect that
// failed (with its reason in words, not only the error number) and a USB device that is
// present but may not be opened by this user.
#include <QString>

namespace dsptune {

// The Connect IP message for a failed connect in the current language; `error` is what
// the network link's open returned (an errno, or 0 when no socket could be made).
QString NetworkConnectFailureText(int error);

// A host name given to --connect that does not resolve.
QString HostNotResolvedText(const QString& host);

// The reason alone ("connection refused" ...), in the current language.
QString NetworkErrorReason(int error);

// The status bar's words for a device the user may not open, and the one-time notice
// that names the udev rule, where it belongs and the document that explains it.
QString UsbPermissionPaneText();
QString UsbPermissionNoticeText(const QString& devicePath);

}  // namespace dsptune
