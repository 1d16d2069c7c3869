#include <windows.h>

#include "app/startup.h"
#include "os/os_win32.h"
#include "vcl/vcl_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  static sys::Win32Os os;
  sys::setOs(&os);
  InstallNativeForms();
  int code = ProgramMain();
  ExitProcess(UINT(code));
}
