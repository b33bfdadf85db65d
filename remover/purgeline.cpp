// Purgeline's entry point: no window, one run, then return.
#include <windows.h>

#include "remover/purgeline_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  return purgeline_main(command_line ? command_line : "");
}
