#pragma once
// dsptune-sim run as a program for the length of a test: started with its standard output
// on a pipe, its "listening on" lines read (bounded in time), stopped with SIGTERM by its
// pid and waited for (bounded too; SIGKILL after that).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace dsptune::test {

class SimProcess {
 public:
  // Starts `program` with `args` and waits up to `limit` for `devices` "listening on"
  // lines. Started() tells whether they all came.
  SimProcess(const std::string& program, const std::vector<std::string>& args, std::size_t devices,
             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    fd_ = out[0];
    if (pid_ > 0) ReadPorts(devices, limit);
  }
  ~SimProcess() {
    Stop();
    if (fd_ >= 0) ::close(fd_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Started() const { return pid_ > 0 && !ports_.empty(); }
  const std::vector<std::uint16_t>& Ports() const { return ports_; }
  const std::string& Output() const { return output_; }

  // SIGTERM, then up to 5 s for the exit (the emulator saves its state on the way out).
  // Returns the exit status, or -1 when it had to be killed or was not running.
  int Stop() {
    if (pid_ <= 0) return status_;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int raw = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &raw, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &raw, 0);
      raw = -1;
    }
    status_ = raw >= 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    pid_ = -1;
    return status_;
  }

 private:
  void ReadPorts(std::size_t devices, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    static constexpr std::string_view kMarker = "listening on 127.0.0.1:";
    std::vector<std::uint16_t> ports;
    std::size_t parsed = 0;  // output_ up to here is whole lines already looked at
    while (ports.size() < devices) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return;
      pollfd pfd{fd_, POLLIN, 0};
      if (::poll(&pfd, 1, int(std::min<long long>(left, 100))) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;  // the program ended before it listened
      output_.append(buffer, std::size_t(n));
      for (std::size_t end; (end = output_.find('\n', parsed)) != std::string::npos; parsed = end + 1) {
        const std::string line = output_.substr(parsed, end - parsed);
        const std::size_t at = line.find(kMarker);
        if (at != std::string::npos) ports.push_back(std::uint16_t(std::stoi(line.substr(at + kMarker.size()))));
      }
    }
    ports_ = std::move(ports);
  }

  pid_t pid_ = -1;
  int fd_ = -1;
  int status_ = -1;
  std::string output_;
  std::vector<std::uint16_t> ports_;
};

}  // namespace dsptune::test
