#include <iostream>
#include <string>
#include <vector>

#include "Runner.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return static_cast<int>(runner::Run(arguments, std::cout, std::cerr));
}
