// Lists what the demo machine holds of the Corvane suite and of its neighbours.
#include <cstdio>

#include "tests/seed/suite_machine.h"

int main() {
  for (const std::string& line : seed::inventory()) std::printf("%s\n", line.c_str());
  return 0;
}
