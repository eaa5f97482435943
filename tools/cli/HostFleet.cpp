#include "tools/cli/HostFleet.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>

#include "tools/cli/ExitStatus.h"

extern char** environ;

namespace dsptune::cli {
namespace {

// A worker reads (at most 150 s) and writes (at most 150 s) through its own time-outs;
// this only ends one that hangs beyond them.
constexpr std::chrono::seconds kWorkerDeadline{330};

std::atomic<int> noted{-1};

constexpr std::array<const char*, 6> kTokens = {"ok", "busy", "identity-mismatch", "timed-out", "error", "differs"};

struct Worker {
  const HostTarget* host = nullptr;
  pid_t pid = -1;
  std::array<int, 3> fds{-1, -1, -1};  // stdout, stderr, result
  std::array<std::string, 3> text;
  std::chrono::steady_clock::time_point started;
  bool killed = false;
};

void CloseAll(std::array<int, 3>& fds) {
  for (int& fd : fds)
    if (fd >= 0) ::close(fd), fd = -1;
}

// Starts the worker for one host; false (with the reason in worker.text[1]) when it cannot.
bool Spawn(Worker& worker, const std::vector<std::string>& argv) {
  std::array<std::array<int, 2>, 3> pipes{};
  for (auto& p : pipes) p = {-1, -1};
  for (auto& p : pipes)
    if (::pipe2(p.data(), O_CLOEXEC) != 0) {
      worker.text[1] = std::string("cannot start a worker: ") + std::strerror(errno);
      for (auto& q : pipes)
        for (int fd : q)
          if (fd >= 0) ::close(fd);
      return false;
    }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipes[0][1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipes[1][1], STDERR_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipes[2][1], 3);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int error = ::posix_spawn(&worker.pid, "/proc/self/exe", &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  for (std::size_t i = 0; i < 3; ++i) {
    ::close(pipes[i][1]);
    worker.fds[i] = pipes[i][0];
  }
  if (error != 0) {
    CloseAll(worker.fds);
    worker.text[1] = std::string("cannot start a worker: ") + std::strerror(error);
    return false;
  }
  worker.started = std::chrono::steady_clock::now();
  return true;
}

std::string LastLine(const std::string& text) {
  std::size_t end = text.find_last_not_of("\r\n ");
  if (end == std::string::npos) return {};
  const std::size_t start = text.rfind('\n', end);
  std::string line = text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
  constexpr std::string_view kPrefix = "dsptune-cli: ";
  if (line.starts_with(kPrefix)) line.erase(0, kPrefix.size());
  return line;
}

HostResult Classify(const Worker& worker, int status) {
  if (worker.killed) return HostResult::TimedOut;
  for (std::size_t i = 0; i < kTokens.size(); ++i)
    if (LastLine(worker.text[2]) == kTokens[i]) return HostResult(i);
  if (status == kExitSuccess) return HostResult::Ok;
  if (status == kExitBusy) return HostResult::Busy;
  if (status == kExitIdentityMismatch) return HostResult::IdentityMismatch;
  return HostResult::Error;
}

// The worker's last message, without the words the result already says ("busy: device
// busy: another host is connected" is "busy: another host is connected").
std::string Detail(const Worker& worker, HostResult result) {
  std::string detail = LastLine(worker.text[1]);
  const std::string said = std::string(HostResultText(result)) + ": ";
  for (const std::string& repeated : {said, "device " + said})
    if (detail.starts_with(repeated)) detail.erase(0, repeated.size());
  return detail;
}

void Report(const Worker& worker, HostResult result) {
  const std::string detail = Detail(worker, result);
  std::string line = worker.host->given + "  " + HostResultText(result);
  if (worker.killed)
    line += " (no result after " + std::to_string(kWorkerDeadline.count()) + " s)";
  else if (!detail.empty() && detail != HostResultText(result))
    line += (result == HostResult::Ok ? " (" : ": ") + detail + (result == HostResult::Ok ? ")" : "");
  std::printf("%s\n", line.c_str());
  // What the command printed for this host (info, get, diff), indented under its line.
  std::size_t start = 0;
  const std::string& out = worker.text[0];
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::printf("    %s\n", out.substr(start, end - start).c_str());
    start = end + 1;
  }
  std::fflush(stdout);
}

}  // namespace

const char* HostResultText(HostResult result) {
  switch (result) {
    case HostResult::Ok: return "ok";
    case HostResult::Busy: return "busy";
    case HostResult::IdentityMismatch: return "identity mismatch";
    case HostResult::TimedOut: return "timed out";
    case HostResult::Error: return "error";
    case HostResult::Differs: return "differs";
  }
  return "error";
}

void NoteHostResult(HostResult result) { noted = int(result); }

int FinishWorker(const DeviceChoice& choice, int status) {
  if (choice.outcomeFd < 0) return status;
  const int result = status == kExitSuccess ? int(HostResult::Ok) : noted.load();
  const char* token = result >= 0 ? kTokens[std::size_t(result)] : status == kExitBusy ? "busy"
                      : status == kExitIdentityMismatch                               ? "identity-mismatch"
                                                                                      : "error";
  const std::string line = std::string(token) + "\n";
  [[maybe_unused]] const auto written = ::write(choice.outcomeFd, line.data(), line.size());
  return status;
}

std::string HostFileStem(const HostTarget& host) {
  std::string stem = host.host + "_" + std::to_string(host.port);
  for (char& c : stem)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  return stem;
}

int RunOnHosts(const std::string& command, const DeviceChoice& choice,
               const std::function<Args(const HostTarget&)>& hostArgs, int failedStatus) {
  // A worker whose reader is gone must not take this process down with it.
  ::signal(SIGPIPE, SIG_IGN);
  std::deque<const HostTarget*> waiting;
  for (const HostTarget& h : choice.hosts) waiting.push_back(&h);
  std::list<Worker> running;
  std::array<int, 6> counts{};
  const auto finish = [&](Worker& w, int status) {
    const HostResult result = Classify(w, status);
    ++counts[std::size_t(result)];
    Report(w, result);
  };

  while (!waiting.empty() || !running.empty()) {
    while (!waiting.empty() && int(running.size()) < choice.jobs) {
      Worker w;
      w.host = waiting.front();
      waiting.pop_front();
      std::vector<std::string> argv{"dsptune-cli", command};
      for (std::string& a : hostArgs(*w.host)) argv.push_back(std::move(a));
      argv.insert(argv.end(), {"--tcp", w.host->given, "--reply-timeout",
                               std::to_string(choice.replyTimeout.count()), "-q", "--outcome-fd", "3"});
      if (!Spawn(w, argv)) {
        finish(w, kExitFailure);
        continue;
      }
      running.push_back(std::move(w));
    }

    std::vector<pollfd> polled;
    for (Worker& w : running)
      for (int fd : w.fds)
        if (fd >= 0) polled.push_back({fd, POLLIN, 0});
    if (!polled.empty()) ::poll(polled.data(), polled.size(), 100);
    for (auto it = running.begin(); it != running.end();) {
      Worker& w = *it;
      for (std::size_t i = 0; i < 3; ++i) {
        if (w.fds[i] < 0) continue;
        const auto p = std::find_if(polled.begin(), polled.end(), [&](const pollfd& x) { return x.fd == w.fds[i]; });
        if (p == polled.end() || !(p->revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buffer[4096];
        const ssize_t n = ::read(w.fds[i], buffer, sizeof buffer);
        if (n > 0) w.text[i].append(buffer, std::size_t(n));
        else ::close(w.fds[i]), w.fds[i] = -1;
      }
      if (!w.killed && std::chrono::steady_clock::now() - w.started > kWorkerDeadline) {
        ::kill(w.pid, SIGKILL);
        w.killed = true;
      }
      const bool drained = std::all_of(w.fds.begin(), w.fds.end(), [](int fd) { return fd < 0; });
      int raw = 0;
      if ((drained || w.killed) && ::waitpid(w.pid, &raw, drained ? 0 : WNOHANG) == w.pid) {
        CloseAll(w.fds);
        finish(w, WIFEXITED(raw) ? WEXITSTATUS(raw) : kExitFailure);
        it = running.erase(it);
      } else {
        ++it;
      }
    }
  }

  const int total = int(choice.hosts.size());
  std::printf("%d host%s: %d ok, %d busy, %d identity mismatch, %d timed out, %d error%s", total,
              total == 1 ? "" : "s", counts[0], counts[1], counts[2], counts[3], counts[4], counts[4] == 1 ? "" : "s");
  if (counts[5] > 0) std::printf(", %d differ%s", counts[5], counts[5] == 1 ? "s" : "");
  std::printf("\n");
  if (counts[0] == total) return kExitSuccess;
  return counts[0] + counts[5] == total ? kExitFailure : failedStatus;
}

}  // namespace dsptune::cli
