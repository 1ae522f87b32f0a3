// quaylink-cli: the command line goes to RunCommandLine; its exit code is the program's.

#include <iostream>
#include <string_view>
#include <vector>

#include "tools/cli/commands.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const int code = static_cast<int>(ql::cli::RunCommandLine(args, std::cout, std::cerr));
  std::cout.flush();
  return code;
}
