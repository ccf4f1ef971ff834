// The process entry of Pellton.exe.
#include <windows.h>

#include "app/program/ProgramEntry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return RunProgram(instance, GetCommandLineW());
}
