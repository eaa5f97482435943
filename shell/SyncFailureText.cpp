#include "shell/SyncFailureText.h"

#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

QString CauseText(SyncOutcome outcome) {
  switch (outcome) {
    case SyncOutcome::LinkLost: return PickText("与设备的连接中断。", "The link to the device was lost.");
    case SyncOutcome::DeviceBusy:
      return PickText("主机已连接其他设备，请先断开!", "Host is connected!");
    case SyncOutcome::DeviceSilent: return PickText("设备没有应答。", "The device did not answer.");
    case SyncOutcome::GarbledStream:
      return PickText("设备的应答数据有误（校验错误）。", "The device's answers arrived garbled.");
    case SyncOutcome::IdentityMismatch:
      return PickText("设备型号或通信版本不受支持。", "The device is not a supported model or protocol.");
    case SyncOutcome::Incomplete:
      return PickText("设备未应答部分数据。", "The device did not answer part of the transfer.");
    case SyncOutcome::VerifyMismatch:
      return PickText("回读的参数与写入的不一致。", "The parameters read back differ from those written.");
    case SyncOutcome::TimedOut:
      return PickText("发生错误，与设备数据同步超时……", "The transfer took too long: the device answers too slowly.");
    case SyncOutcome::Done: break;
  }
  return {};
}

}  // namespace

QString SyncFailureText(const SyncResult& result) {
  if (result.outcome == SyncOutcome::Done) return {};
  if (result.job == 0) {
    if (result.outcome == SyncOutcome::Incomplete)
      return PickText("设备未应答部分读取数据，设置未作任何更改。",
                      "The device did not answer part of the read; nothing was changed.");
    return CauseText(result.outcome) + PickText("\n读取未完成，设置未作任何更改。",
                                                "\nThe read did not finish; nothing was changed.");
  }
  QString text = CauseText(result.outcome);
  if (result.outcome == SyncOutcome::VerifyMismatch)
    text += PickText("\n（%1 个字节不同）", "\n(%1 bytes differ.)").arg(result.differingBytes);
  else
    // Only acknowledgements are counted: a part whose answer was lost may have arrived.
    text += PickText("\n设备中的参数可能只写入了一部分（设备已确认 %1/%2 块，实际写入的可能更多）。",
                     "\nThe device may hold a partly written image (it acknowledged %1 of %2 parts and may hold "
                     "more).")
                .arg(result.chunksConfirmed)
                .arg(result.chunksTotal);
  return text;
}

}  // namespace dsptune
