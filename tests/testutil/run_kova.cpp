#include "testutil/run_kova.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "testutil/temp_dir.h"

namespace kova::test {

namespace {
std::string Slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
}  // namespace

RunResult RunKova(const std::vector<std::string>& args) {
  TempDir dir;
  const auto outPath = dir / "out", errPath = dir / "err";
  std::vector<char*> argv;
  std::string program = KOVA_BINARY;
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (auto& a : copy)
    argv.push_back(a.data());
  argv.push_back(nullptr);

  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  RunResult r;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid)
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = Slurp(outPath);
  r.err = Slurp(errPath);
  return r;
}

}  // namespace kova::test
