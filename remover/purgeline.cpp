// Purgeline's entry point: no window, one clean-up pass, then return.
#include <windows.h>

#include "remover/pass.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  return run_cleanup_pass(command_line ? command_line : "");
}
