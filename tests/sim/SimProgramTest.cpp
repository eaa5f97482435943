// dsptune-sim run as a program: what its help promises and --version.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace dsptune {
namespace {

struct SimRun {
  int status = -1;
  std::string out;
};

SimRun RunSim(const std::string& args) {
  const auto path = std::filesystem::temp_directory_path() / ("dsptune-sim-out-" + std::to_string(::getpid()));
  const int raw = std::system((std::string("'") + DSPTUNE_SIM_PATH + "' " + args + " >'" + path.string() +
                               "' 2>&1 </dev/null").c_str());
  std::ifstream in(path);
  SimRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {std::istreambuf_iterator<char>(in), {}}};
  std::filesystem::remove(path);
  return run;
}

TEST(SimProgram, VersionAndHelpSayWhatTheOptionsDo) {
  const SimRun version = RunSim("--version");
  EXPECT_EQ(version.status, 0) << version.out;
  EXPECT_TRUE(std::regex_match(version.out, std::regex("dsptune-sim [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
  const SimRun help = RunSim("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* promised : {"--version", "(0 = from the start; default: never)", "--devices N"})
    EXPECT_NE(help.out.find(promised), std::string::npos) << promised;
  EXPECT_EQ(RunSim("--silent-after").status, 2) << "a missing value is a usage error";
}

TEST(SimProgram, DeviceCountsAndNumbersOutsideTheRangeAreUsageErrors) {
  for (const char* args : {"--devices 0", "--devices 257", "--devices two", "--devices 3 --port 65534",
                           "--devices 2 --device 3 --busy", "--device 0", "--devices 2 --device 2 --port 1"}) {
    const SimRun run = RunSim(args);
    EXPECT_EQ(run.status, 2) << args << "\n" << run.out;
    EXPECT_EQ(run.out.find("listening"), std::string::npos) << args;
  }
}

}  // namespace
}  // namespace dsptune
