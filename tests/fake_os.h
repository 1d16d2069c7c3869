// A scriptable stand-in for the operating system and for the decoder library.
// It records every call in order (in `calls`) and answers from its script.
#pragma once
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "decoder/binding.h"
#include "os/os.h"
#include "vcl/vcl.h"

struct Box {
  std::string text, caption;
  UINT flags;
};

class FakeDecoder;

class FakeOs : public sys::Os {
 public:
  FakeOs();
  ~FakeOs() override;

  std::vector<std::string> calls;  // OS and decoder calls, in order
  std::vector<std::string> lookups;  // GetProcAddress names, in order
  bool CalledBefore(const std::string& a, const std::string& b) const;
  int Count(const std::string& prefix) const;
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;

  // Script
  bool mutexFails = false, mutexExists = false;
  bool libraryPresent = true;
  std::set<std::string> missingEntries;
  OSVERSIONINFOA version{148, 6, 1, 7601, 2, {}};
  bool versionFails = false;
  std::map<std::string, std::string> profile;  // "section/key" -> value
  std::vector<std::string> profileWrites;      // "key=value" in order
  int writesBeforeFailure = -1;                // -1: every write succeeds
  std::vector<std::string> droppedFiles;
  bool dragAccepting = false;
  BOOL exitWindowsResult = 1;
  BOOL openTokenResult = 1, lookupPrivilegeResult = 1;
  std::deque<DWORD> errorsAfterAdjust;  // GetLastError after each AdjustTokenPrivileges (default 0)
  std::vector<TOKEN_PRIVILEGES> adjustRecords;
  std::vector<std::string> lookupSystemNames;
  bool lookupSystemWasNull = false;
  int openTokens = 0;  // tokens opened and not yet closed
  std::deque<int> boxAnswers;  // answers of the next boxes (default IDOK)
  std::vector<Box> boxes;
  std::function<void(const Box&)> whileBoxOpen;
  bool openDialogResult = false;
  std::string openDialogFile;
  std::vector<std::string> openDialogFilters, openDialogTitles;
  bool colorDialogResult = false;
  uint32_t colorDialogChoice = 0;
  std::vector<uint32_t> colorDialogStartColours;
  int modalCount = 0;
  std::function<void(TForm*)> whileModal;
  int screenW = 1024, screenH = 768;
  std::string exeName = "C:\\Program Files\\Vantrel\\vantrel_mp3.exe";
  bool awake = false;
  std::set<TTimer*> runningTimers;
  int timerStarts = 0;

  // Runs a tick of a timer as the message loop would (nothing when it is off).
  void Tick(TTimer* t) { t->Tick(); }
  FakeDecoder* decoder = nullptr;

  sys::Handle CreateMutexA(const char* name) override;
  DWORD GetLastError() override;
  bool ReleaseMutex(sys::Handle) override;
  sys::Handle LoadLibraryA(const char* name) override;
  void* GetProcAddress(sys::Handle lib, const char* name) override;
  bool FreeLibrary(sys::Handle lib) override;
  UINT SetErrorMode(UINT mode) override;
  BOOL GetVersionExA(OSVERSIONINFOA* info) override;
  std::string ExeName() override { return exeName; }
  void KeepAwake(bool on) override { awake = on; }
  std::string AnsiToUtf8(const std::string& s) override { return s; }
  std::string Utf8ToAnsi(const std::string& s) override { return s; }
  std::string GetProfileString(const std::string& section, const std::string& key, const std::string& def,
                               const std::string& path) override;
  bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                          const std::string& path) override;
  void DragAcceptFiles(sys::Handle, bool accept) override;
  UINT DragQueryFileA(sys::Handle drop, UINT index, char* buf, UINT size) override;
  void DragFinish(sys::Handle) override;
  BOOL ExitWindowsEx(UINT flags, DWORD) override;
  sys::Handle GetCurrentProcess() override { return reinterpret_cast<sys::Handle>(-1); }
  BOOL OpenProcessToken(sys::Handle, DWORD access, sys::Handle* token) override;
  BOOL LookupPrivilegeValueA(const char* system, const char* name, LUID* luid) override;
  BOOL AdjustTokenPrivileges(sys::Handle, BOOL, TOKEN_PRIVILEGES* state, DWORD length, TOKEN_PRIVILEGES*,
                             DWORD*) override;
  BOOL CloseHandle(sys::Handle) override;
  int MessageBox(sys::Handle, const std::string& text, const std::string& caption, UINT flags) override;
  bool OpenFileDialog(sys::Handle, const std::string& filter, const std::string& title,
                      std::string& fileName) override;
  bool ColorDialog(sys::Handle, uint32_t& color) override;
  int ShowModal(TForm* form) override;
  void StartTimer(TTimer* t) override;
  void StopTimer(TTimer* t) override;
  void RunMessageLoop() override {}
  void QuitMessageLoop() override { calls.push_back("QuitMessageLoop"); }
  int ScreenWidth() override { return screenW; }
  int ScreenHeight() override { return screenH; }

 private:
  DWORD lastError_ = 0;
};

// A scriptable double of vbmp3.dll: C functions with the library's signatures,
// reached through the fake's GetProcAddress.
class FakeDecoder {
 public:
  explicit FakeDecoder(FakeOs& os);
  ~FakeDecoder();
  FakeOs& os;

  // Results
  bool init = true, release = true, open = true, play = true, stop = true, pause = true, restart = true,
       volume = true;
  int32_t spectrumResult = 1;
  // What vbmp3_open reports
  TrackInfo info{};
  std::map<std::string, int32_t> secondsByPath;  // per path, else info.Seconds
  bool leaveGarbage = false;                      // a failing open leaves garbage in the record
  // What vbmp3_getState reports, one entry per call (the last repeats)
  std::deque<std::pair<int32_t, int32_t>> states;  // {state, seconds}
  int32_t spectrumLeft[255] = {}, spectrumRight[255] = {};
  std::vector<std::string> openedPaths;

  static FakeDecoder* current;
};
