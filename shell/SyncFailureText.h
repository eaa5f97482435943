#pragma once
// What the window tells the user when a read or write job could not finish. Each cause
// has its own words, and a failed read says that nothing was changed (the job keeps the
// working settings as they were), so the user never takes a partial transfer for a
// complete one.
#include <QString>

#include "link/SyncJobs.h"

namespace dsptune {

// The message for a failed job in the current language; `result` gives the job kind,
// the cause and the chunk count. Empty for a job that succeeded.
QString SyncFailureText(const SyncResult& result);

}  // namespace dsptune
