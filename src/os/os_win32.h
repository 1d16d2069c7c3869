#pragma once
#include "os/os.h"

namespace sys {

class Win32Os : public Os {
 public:
  Handle CreateMutexA(const char* name) override;
  DWORD GetLastError() override;
  bool ReleaseMutex(Handle mutex) override;
  Handle LoadLibraryA(const char* name) override;
  void* GetProcAddress(Handle lib, const char* name) override;
  bool FreeLibrary(Handle lib) override;
  UINT SetErrorMode(UINT mode) override;
  BOOL GetVersionExA(OSVERSIONINFOA* info) override;
  std::string ExeName() override;
  void KeepAwake(bool on) override;
  std::string AnsiToUtf8(const std::string& ansi) override;
  std::string Utf8ToAnsi(const std::string& utf8) override;
  std::string GetProfileString(const std::string& section, const std::string& key, const std::string& def,
                               const std::string& path) override;
  bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                          const std::string& path) override;
  void DragAcceptFiles(Handle wnd, bool accept) override;
  UINT DragQueryFileA(Handle drop, UINT index, char* buf, UINT size) override;
  void DragFinish(Handle drop) override;
  BOOL ExitWindowsEx(UINT flags, DWORD reserved) override;
  Handle GetCurrentProcess() override;
  BOOL OpenProcessToken(Handle process, DWORD access, Handle* token) override;
  BOOL LookupPrivilegeValueA(const char* system, const char* name, LUID* luid) override;
  BOOL AdjustTokenPrivileges(Handle token, BOOL disableAll, TOKEN_PRIVILEGES* state, DWORD length,
                             TOKEN_PRIVILEGES* previous, DWORD* returned) override;
  BOOL CloseHandle(Handle h) override;
  int MessageBox(Handle owner, const std::string& text, const std::string& caption, UINT flags) override;
  bool OpenFileDialog(Handle owner, const std::string& filter, const std::string& title,
                      std::string& fileName) override;
  bool ColorDialog(Handle owner, uint32_t& color) override;
  int ShowModal(TForm* form) override;
  void StartTimer(TTimer* timer) override;
  void StopTimer(TTimer* timer) override;
  void RunMessageLoop() override;
  void QuitMessageLoop() override;
  int ScreenWidth() override;
  int ScreenHeight() override;
};

}  // namespace sys
