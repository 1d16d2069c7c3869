// The seam between the program and the operating system. The Win32 build
// installs thin wrappers around the system calls; the unit tests install a
// scriptable fake that records every call.
#pragma once
#include <cstdint>
#include <string>

#include "os/wintypes.h"

class TForm;
class TTimer;

namespace sys {

using Handle = void*;

// Every text crossing the seam is UTF-8 unless a name says Ansi: the program
// keeps its own texts in UTF-8 and converts at the edges that use the system
// code page (paths, the decoder's texts, the drop handle).
class Os {
 public:
  virtual ~Os() = default;

  // Kernel
  virtual Handle CreateMutexA(const char* name) = 0;  // no security attributes, not owned
  virtual DWORD GetLastError() = 0;
  virtual bool ReleaseMutex(Handle mutex) = 0;
  virtual Handle LoadLibraryA(const char* name) = 0;
  virtual void* GetProcAddress(Handle lib, const char* name) = 0;
  virtual bool FreeLibrary(Handle lib) = 0;
  virtual UINT SetErrorMode(UINT mode) = 0;
  virtual BOOL GetVersionExA(OSVERSIONINFOA* info) = 0;
  virtual std::string ExeName() = 0;  // full path of the executable
  // Keeps the system from idle sleep while `on` (no effect where the system lacks it).
  virtual void KeepAwake(bool on) = 0;

  // Text in the system code page.
  virtual std::string AnsiToUtf8(const std::string& ansi) = 0;
  virtual std::string Utf8ToAnsi(const std::string& utf8) = 0;

  // Private-profile files (path, section, key and values in UTF-8).
  virtual std::string GetProfileString(const std::string& section, const std::string& key,
                                       const std::string& def, const std::string& path) = 0;
  virtual bool WriteProfileString(const std::string& section, const std::string& key,
                                  const std::string& value, const std::string& path) = 0;

  // Shell drops
  virtual void DragAcceptFiles(Handle wnd, bool accept) = 0;
  virtual UINT DragQueryFileA(Handle drop, UINT index, char* buf, UINT size) = 0;
  virtual void DragFinish(Handle drop) = 0;

  // Shutdown and the process token
  virtual BOOL ExitWindowsEx(UINT flags, DWORD reserved) = 0;
  virtual Handle GetCurrentProcess() = 0;
  virtual BOOL OpenProcessToken(Handle process, DWORD access, Handle* token) = 0;
  virtual BOOL LookupPrivilegeValueA(const char* system, const char* name, LUID* luid) = 0;
  virtual BOOL AdjustTokenPrivileges(Handle token, BOOL disableAll, TOKEN_PRIVILEGES* state,
                                     DWORD length, TOKEN_PRIVILEGES* previous, DWORD* returned) = 0;
  virtual BOOL CloseHandle(Handle h) = 0;

  // Modal user interface. Each keeps the message loop (and so the timers) running.
  virtual int MessageBox(Handle owner, const std::string& text, const std::string& caption, UINT flags) = 0;
  virtual bool OpenFileDialog(Handle owner, const std::string& filter, const std::string& title,
                              std::string& fileName) = 0;
  virtual bool ColorDialog(Handle owner, uint32_t& color) = 0;
  virtual int ShowModal(TForm* form) = 0;

  // Timers and the message loop
  virtual void StartTimer(TTimer* timer) = 0;  // (re)arms with timer->Interval
  virtual void StopTimer(TTimer* timer) = 0;
  virtual void RunMessageLoop() = 0;
  virtual void QuitMessageLoop() = 0;

  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;
};

Os& os();
void setOs(Os* impl);

}  // namespace sys
