#pragma once
// Provisioning: one command run against many network devices at once. Every host gets a
// worker process of its own (this program again, with that host alone), so a slow or
// failing room never holds up the others and no link state is shared. At most `jobs`
// workers run together; each prints one result line when it ends, then a summary follows.
#include <functional>
#include <string>

#include "tools/cli/CliCommands.h"
#include "tools/cli/DeviceSession.h"

namespace dsptune::cli {

// How one host's run ended, as its result line says it.
enum class HostResult { Ok, Busy, IdentityMismatch, TimedOut, Error, Differs };
const char* HostResultText(HostResult result);

// Remembers how this process's device run ended when the exit status alone cannot tell
// (a silent device and a broken file both exit 1). The last call wins.
void NoteHostResult(HostResult result);
// A worker's last step: reports its result on choice.outcomeFd (when set) and returns
// `status` unchanged.
int FinishWorker(const DeviceChoice& choice, int status);

// Runs `command` once per host of choice.hosts. `hostArgs` gives a host's own arguments
// (files, options; not the device options, which are added). Returns 0 when every host
// succeeded, `failedStatus` when any failed, else (some only differ) 1.
int RunOnHosts(const std::string& command, const DeviceChoice& choice,
               const std::function<Args(const HostTarget&)>& hostArgs, int failedStatus = 1);

// A file name for a host's results: "room12.lan_30303".
std::string HostFileStem(const HostTarget& host);

}  // namespace dsptune::cli
