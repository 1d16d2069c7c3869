#include "fake_os.h"

#include <algorithm>

FakeDecoder* FakeDecoder::current = nullptr;

namespace {
sys::Handle kMutex = reinterpret_cast<sys::Handle>(0x10);
sys::Handle kLibrary = reinterpret_cast<sys::Handle>(0x20);
sys::Handle kToken = reinterpret_cast<sys::Handle>(0x30);

FakeDecoder& D() { return *FakeDecoder::current; }
void Log(const std::string& s) { D().os.calls.push_back(s); }

uint8_t VBMP3_CALL f_init() {
  Log("vbmp3_init");
  return D().init;
}
uint8_t VBMP3_CALL f_free() {
  Log("vbmp3_free");
  return D().release;
}
uint8_t VBMP3_CALL f_open(const char* path, TrackInfo* info) {
  Log(std::string("vbmp3_open(") + path + ")");
  D().openedPaths.push_back(path);
  if (!D().open) {
    if (D().leaveGarbage) std::memset(info, 'G', sizeof *info);
    return 0;
  }
  *info = D().info;
  auto it = D().secondsByPath.find(path);
  if (it != D().secondsByPath.end()) info->Seconds = it->second;
  return 1;
}
void VBMP3_CALL f_close() { Log("vbmp3_close"); }
uint8_t VBMP3_CALL f_play() {
  Log("vbmp3_play");
  return D().play;
}
uint8_t VBMP3_CALL f_stop() {
  Log("vbmp3_stop");
  return D().stop;
}
uint8_t VBMP3_CALL f_pause() {
  Log("vbmp3_pause");
  return D().pause;
}
uint8_t VBMP3_CALL f_restart() {
  Log("vbmp3_restart");
  return D().restart;
}
int32_t VBMP3_CALL f_getState(int32_t* seconds) {
  Log("vbmp3_getState");
  auto& q = D().states;
  if (q.empty()) return 0;
  auto s = q.front();
  if (q.size() > 1) q.pop_front();
  *seconds = s.second;
  return s.first;
}
uint8_t VBMP3_CALL f_setVolume(int32_t l, int32_t r) {
  Log("vbmp3_setVolume(" + std::to_string(l) + "," + std::to_string(r) + ")");
  return D().volume;
}
int32_t VBMP3_CALL f_getSpectrum(int32_t* l, int32_t* r) {
  Log("vbmp3_getSpectrum");
  std::copy(D().spectrumLeft, D().spectrumLeft + 255, l);
  std::copy(D().spectrumRight, D().spectrumRight + 255, r);
  return D().spectrumResult;
}
}  // namespace

FakeDecoder::FakeDecoder(FakeOs& o) : os(o) {
  current = this;
  o.decoder = this;
  std::strcpy(info.Title, "Title");
  std::strcpy(info.Artist, "Artist");
  info.Channels = 2, info.BitRate = 128, info.SamplingRate = 44100, info.Seconds = 215;
}
FakeDecoder::~FakeDecoder() {
  if (current == this) current = nullptr;
}

FakeOs::FakeOs() { sys::setOs(this); }
FakeOs::~FakeOs() { sys::setOs(nullptr); }

bool FakeOs::CalledBefore(const std::string& a, const std::string& b) const {
  auto ia = std::find(calls.begin(), calls.end(), a);
  auto ib = std::find(calls.begin(), calls.end(), b);
  return ia != calls.end() && ib != calls.end() && ia < ib;
}

int FakeOs::Count(const std::string& prefix) const {
  return int(std::count_if(calls.begin(), calls.end(),
                           [&](const std::string& c) { return c.compare(0, prefix.size(), prefix) == 0; }));
}

std::vector<std::string> FakeOs::CallsStartingWith(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& c : calls)
    if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
  return out;
}

sys::Handle FakeOs::CreateMutexA(const char* name) {
  calls.push_back(std::string("CreateMutexA(") + name + ")");
  if (mutexFails) {
    lastError_ = 5;
    return nullptr;
  }
  lastError_ = mutexExists ? ERROR_ALREADY_EXISTS : 0;
  return kMutex;
}

DWORD FakeOs::GetLastError() { return lastError_; }

bool FakeOs::ReleaseMutex(sys::Handle) {
  calls.push_back("ReleaseMutex");
  return false;  // the mutex is never owned
}

sys::Handle FakeOs::LoadLibraryA(const char* name) {
  calls.push_back(std::string("LoadLibraryA(") + name + ")");
  return libraryPresent ? kLibrary : nullptr;
}

void* FakeOs::GetProcAddress(sys::Handle lib, const char* name) {
  lookups.push_back(name);
  if (lib != kLibrary || missingEntries.count(name)) return nullptr;
  static const std::map<std::string, void*> table = {
      {"vbmp3_init", reinterpret_cast<void*>(&f_init)},
      {"vbmp3_free", reinterpret_cast<void*>(&f_free)},
      {"vbmp3_open", reinterpret_cast<void*>(&f_open)},
      {"vbmp3_close", reinterpret_cast<void*>(&f_close)},
      {"vbmp3_play", reinterpret_cast<void*>(&f_play)},
      {"vbmp3_stop", reinterpret_cast<void*>(&f_stop)},
      {"vbmp3_pause", reinterpret_cast<void*>(&f_pause)},
      {"vbmp3_restart", reinterpret_cast<void*>(&f_restart)},
      {"vbmp3_getState", reinterpret_cast<void*>(&f_getState)},
      {"vbmp3_setVolume", reinterpret_cast<void*>(&f_setVolume)},
      {"vbmp3_getSpectrum", reinterpret_cast<void*>(&f_getSpectrum)},
  };
  auto it = table.find(name);
  return it == table.end() ? nullptr : it->second;
}

bool FakeOs::FreeLibrary(sys::Handle) {
  calls.push_back("FreeLibrary");
  return true;
}

UINT FakeOs::SetErrorMode(UINT mode) {
  calls.push_back("SetErrorMode(" + std::to_string(mode) + ")");
  return 0;
}

BOOL FakeOs::GetVersionExA(OSVERSIONINFOA* info) {
  calls.push_back("GetVersionExA(" + std::to_string(info->dwOSVersionInfoSize) + ")");
  if (versionFails) return 0;
  *info = version;
  return 1;
}

std::string FakeOs::GetProfileString(const std::string& section, const std::string& key, const std::string& def,
                                     const std::string& path) {
  calls.push_back("GetProfileString(" + key + ")");
  auto it = profile.find(section + "/" + key);
  return it == profile.end() ? def : it->second;
}

bool FakeOs::WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                                const std::string& path) {
  calls.push_back("WriteProfileString(" + key + "=" + value + ")");
  if (writesBeforeFailure == 0) return false;
  if (writesBeforeFailure > 0) --writesBeforeFailure;
  profile[section + "/" + key] = value;
  profileWrites.push_back(key + "=" + value);
  return true;
}

void FakeOs::DragAcceptFiles(sys::Handle, bool accept) {
  calls.push_back(std::string("DragAcceptFiles(") + (accept ? "TRUE" : "FALSE") + ")");
  dragAccepting = accept;
}

UINT FakeOs::DragQueryFileA(sys::Handle, UINT index, char* buf, UINT size) {
  if (index == 0xFFFFFFFFu) return UINT(droppedFiles.size());
  if (index >= droppedFiles.size()) return 0;
  const std::string& name = droppedFiles[index];
  if (!buf) return UINT(name.size());
  if (size == 0) return 0;
  UINT n = std::min<UINT>(UINT(name.size()), size - 1);
  std::memcpy(buf, name.data(), n);
  buf[n] = '\0';
  return n;
}

void FakeOs::DragFinish(sys::Handle) { calls.push_back("DragFinish"); }

BOOL FakeOs::ExitWindowsEx(UINT flags, DWORD) {
  calls.push_back("ExitWindowsEx(" + std::to_string(flags) + ")");
  return exitWindowsResult;
}

BOOL FakeOs::OpenProcessToken(sys::Handle, DWORD access, sys::Handle* token) {
  calls.push_back("OpenProcessToken(" + std::to_string(access) + ")");
  if (!openTokenResult) return 0;
  *token = kToken;
  ++openTokens;
  return 1;
}

BOOL FakeOs::LookupPrivilegeValueA(const char* system, const char* name, LUID* luid) {
  calls.push_back(std::string("LookupPrivilegeValueA(") + name + ")");
  lookupSystemWasNull = system == nullptr;
  lookupSystemNames.push_back(system ? system : "<null>");
  if (!lookupPrivilegeResult) return 0;
  luid->LowPart = 19, luid->HighPart = 0;
  return 1;
}

BOOL FakeOs::AdjustTokenPrivileges(sys::Handle, BOOL, TOKEN_PRIVILEGES* state, DWORD length, TOKEN_PRIVILEGES*,
                                   DWORD*) {
  calls.push_back("AdjustTokenPrivileges(" + std::to_string(length) + "," +
                  std::to_string(state->Privileges[0].Attributes) + ")");
  adjustRecords.push_back(*state);
  lastError_ = 0;
  if (!errorsAfterAdjust.empty()) {
    lastError_ = errorsAfterAdjust.front();
    errorsAfterAdjust.pop_front();
  }
  return 1;
}

BOOL FakeOs::CloseHandle(sys::Handle h) {
  calls.push_back("CloseHandle");
  if (h == kToken) --openTokens;
  lastError_ = 0;
  return 1;
}

int FakeOs::MessageBox(sys::Handle, const std::string& text, const std::string& caption, UINT flags) {
  calls.push_back("MessageBox(" + text + ")");
  Box b{text, caption, flags};
  boxes.push_back(b);
  if (whileBoxOpen) whileBoxOpen(b);
  int answer = IDOK;
  if (!boxAnswers.empty()) {
    answer = boxAnswers.front();
    boxAnswers.pop_front();
  }
  return answer;
}

bool FakeOs::OpenFileDialog(sys::Handle, const std::string& filter, const std::string& title,
                            std::string& fileName) {
  calls.push_back("OpenFileDialog");
  openDialogFilters.push_back(filter);
  openDialogTitles.push_back(title);
  if (!openDialogResult) return false;
  fileName = openDialogFile;
  return true;
}

bool FakeOs::ColorDialog(sys::Handle, uint32_t& color) {
  calls.push_back("ColorDialog");
  colorDialogStartColours.push_back(color);
  if (!colorDialogResult) return false;
  color = colorDialogChoice;
  return true;
}

int FakeOs::ShowModal(TForm* form) {
  calls.push_back("ShowModal(" + form->Caption + ")");
  ++modalCount;
  form->Visible = true;
  if (whileModal) whileModal(form);
  form->Visible = false;
  return form->ModalResult;
}

void FakeOs::StartTimer(TTimer* t) {
  ++timerStarts;
  runningTimers.insert(t);
}

void FakeOs::StopTimer(TTimer* t) { runningTimers.erase(t); }
