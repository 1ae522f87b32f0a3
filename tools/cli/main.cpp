// quaylink-cli: the command line goes to RunCommandLine; its exit code is the program's,
// unless the results could not be written.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/commands.h"

namespace {

std::string Reason(int err) {
  return err != 0 ? std::string(": ") + std::strerror(err) : std::string();
}

// A script reads the results from stdout: a full disk or a closed pipe must not pass for
// success. Flushes what is buffered and closes stdout, so that a late write error (a full
// disk, a network file system) is seen too. Nothing when all went out, else why not.
std::optional<std::string> FinishOutput() {
  errno = 0;
  std::cout.flush();  // std::cout writes through stdout (synchronised with stdio)
  if (!std::cout.good() || std::ferror(stdout) != 0) return Reason(errno);
  errno = 0;
  // A stdout closed from the start with nothing written to it (EBADF) lost nothing.
  if (std::fclose(stdout) != 0 && errno != EBADF) return Reason(errno);
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  auto code = ql::cli::RunCommandLine(args, std::cout, std::cerr);
  if (const auto failure = FinishOutput()) {
    std::cerr << "quaylink-cli: cannot write the results" << *failure << "\n";
    // A failure the command reported already keeps its own code.
    if (code == ql::cli::ExitCode::Ok) code = ql::cli::ExitCode::UsageOrFile;
  }
  return static_cast<int>(code);
}
