#pragma once
// The exit statuses of dsptune-cli, the same for every command (and printed by --help).
namespace dsptune::cli {

inline constexpr int kExitSuccess = 0;
// A device or file error: the device could not be reached or read, a transfer stayed
// incomplete, a verify found differences, the link was lost, the device went silent or
// its answers arrived garbled, a file could not be read or written.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// The network module serves another host.
inline constexpr int kExitBusy = 3;
// The device is not a supported model, or speaks another protocol.
inline constexpr int kExitIdentityMismatch = 4;

}  // namespace dsptune::cli
