#pragma once
// dsptune-cli run as a program, its exit status, standard output and standard error kept.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace dsptune::test {

struct CliResult {
  int status = -1;
  std::string out, err;

  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// A scratch folder for one test, removed afterwards.
class CliScratch {
 public:
  explicit CliScratch(const std::string& name)
      : dir_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
  }
  ~CliScratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // `args` is shell text: quote paths with single quotes. Standard output goes to
  // `output` when given (say /dev/full), and result.out is then empty. A run that has not
  // ended after a minute is stopped (status 124): a command blocked on a file must fail,
  // not hang.
  CliResult Run(const std::string& args, const std::string& output = "") const {
    const std::string command = std::string("timeout -k 5 60 '") + DSPTUNE_CLI_PATH + "' " + args + " >'" +
                                (output.empty() ? Path(".out") : output) + "' 2>'" + Path(".err") + "' </dev/null";
    const int raw = std::system(command.c_str());
    CliResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = output.empty() ? Text(Path(".out")) : "";
    r.err = Text(Path(".err"));
    return r;
  }

  static std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace dsptune::test
