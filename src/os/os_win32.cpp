// The Win32 side of the seam: thin wrappers around the system calls.
#include "os/os_win32.h"

#include <commdlg.h>
#include <shellapi.h>

#include <map>
#include <vector>

#include "vcl/vcl.h"

namespace {
bool Wide() {
  static const bool wide = (GetVersion() & 0x80000000u) == 0;  // the NT family
  return wide;
}

HWND g_timerWindow = nullptr;
std::map<UINT_PTR, TTimer*> g_timers;
UINT_PTR g_nextTimerId = 1;

LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    auto it = g_timers.find(wp);
    if (it != g_timers.end()) it->second->Tick();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND TimerWindow() {
  if (!g_timerWindow) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = TimerWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VantrelTimers";
    RegisterClassA(&wc);
    g_timerWindow = CreateWindowExA(0, "VantrelTimers", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    wc.hInstance, nullptr);
  }
  return g_timerWindow;
}
}  // namespace

namespace sys {

Handle Win32Os::CreateMutexA(const char* name) { return ::CreateMutexA(nullptr, FALSE, name); }
DWORD Win32Os::GetLastError() { return ::GetLastError(); }
bool Win32Os::ReleaseMutex(Handle m) { return ::ReleaseMutex(m) != 0; }
Handle Win32Os::LoadLibraryA(const char* name) { return ::LoadLibraryA(name); }
void* Win32Os::GetProcAddress(Handle lib, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name));
}
bool Win32Os::FreeLibrary(Handle lib) { return ::FreeLibrary(static_cast<HMODULE>(lib)) != 0; }
UINT Win32Os::SetErrorMode(UINT mode) { return ::SetErrorMode(mode); }
BOOL Win32Os::GetVersionExA(OSVERSIONINFOA* info) { return ::GetVersionExA(info); }

std::string Win32Os::ExeName() {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), DWORD(buf.size()));
    if (n < buf.size() - 1 || buf.size() > 32768) return AnsiToUtf8(std::string(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

void Win32Os::KeepAwake(bool on) {
  // Windows 95 and NT 4.0 have no SetThreadExecutionState.
  using Fn = DWORD(WINAPI*)(DWORD);
  static Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadExecutionState")));
  const DWORD kContinuous = 0x80000000u, kSystemRequired = 0x1;
  if (fn) fn(on ? kContinuous | kSystemRequired : kContinuous);
}

std::string Win32Os::AnsiToUtf8(const std::string& ansi) {
  if (ansi.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), &w[0], n);
  return Narrow(w);
}

std::string Win32Os::Utf8ToAnsi(const std::string& utf8) {
  if (utf8.empty()) return {};
  std::wstring w = Widen(utf8);
  int n = WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string a(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), &a[0], n, nullptr, nullptr);
  return a;
}

std::string Win32Os::GetProfileString(const std::string& section, const std::string& key, const std::string& def,
                                      const std::string& path) {
  char buf[2048];
  GetPrivateProfileStringA(Utf8ToAnsi(section).c_str(), Utf8ToAnsi(key).c_str(), Utf8ToAnsi(def).c_str(), buf,
                           sizeof buf, Utf8ToAnsi(path).c_str());
  buf[sizeof buf - 1] = '\0';
  return AnsiToUtf8(buf);
}

bool Win32Os::WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                                 const std::string& path) {
  return WritePrivateProfileStringA(Utf8ToAnsi(section).c_str(), Utf8ToAnsi(key).c_str(),
                                    Utf8ToAnsi(value).c_str(), Utf8ToAnsi(path).c_str()) != 0;
}

void Win32Os::DragAcceptFiles(Handle wnd, bool accept) { ::DragAcceptFiles(static_cast<HWND>(wnd), accept); }
UINT Win32Os::DragQueryFileA(Handle drop, UINT index, char* buf, UINT size) {
  return ::DragQueryFileA(static_cast<HDROP>(drop), index, buf, size);
}
void Win32Os::DragFinish(Handle drop) { ::DragFinish(static_cast<HDROP>(drop)); }

BOOL Win32Os::ExitWindowsEx(UINT flags, DWORD reserved) { return ::ExitWindowsEx(flags, reserved); }
Handle Win32Os::GetCurrentProcess() { return ::GetCurrentProcess(); }
BOOL Win32Os::OpenProcessToken(Handle process, DWORD access, Handle* token) {
  return ::OpenProcessToken(process, access, token);
}
BOOL Win32Os::LookupPrivilegeValueA(const char* system, const char* name, LUID* luid) {
  return ::LookupPrivilegeValueA(system, name, luid);
}
BOOL Win32Os::AdjustTokenPrivileges(Handle token, BOOL disableAll, TOKEN_PRIVILEGES* state, DWORD length,
                                    TOKEN_PRIVILEGES* previous, DWORD* returned) {
  return ::AdjustTokenPrivileges(token, disableAll, state, length, previous, returned);
}
BOOL Win32Os::CloseHandle(Handle h) { return ::CloseHandle(h); }

int Win32Os::MessageBox(Handle owner, const std::string& text, const std::string& caption, UINT flags) {
  HWND o = static_cast<HWND>(owner);
  if (o && !IsWindowVisible(o)) o = nullptr;
  if (!o) flags |= MB_TASKMODAL;
  if (Wide()) return MessageBoxW(o, Widen(text).c_str(), Widen(caption).c_str(), flags);
  return MessageBoxA(o, Utf8ToAnsi(text).c_str(), Utf8ToAnsi(caption).c_str(), flags);
}

bool Win32Os::OpenFileDialog(Handle owner, const std::string& filter, const std::string& title,
                             std::string& fileName) {
  // A large buffer: the chosen path is never cut.
  const DWORD kChars = 32768;
  std::string f = filter + "||";
  for (char& c : f)
    if (c == '|') c = '\0';
  // The wide dialog exists only on the NT family; look it up so that the
  // program still loads where comdlg32 lacks it.
  using OpenW = BOOL(WINAPI*)(OPENFILENAMEW*);
  static OpenW openW = reinterpret_cast<OpenW>(
      reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryA("comdlg32.dll"), "GetOpenFileNameW")));
  if (Wide() && openW) {
    std::wstring wf = Widen(f), wt = Widen(title);
    std::vector<wchar_t> buf(kChars, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = static_cast<HWND>(owner);
    ofn.lpstrFilter = wf.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buf.data();
    ofn.nMaxFile = kChars;
    ofn.lpstrTitle = wt.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!openW(&ofn)) return false;
    fileName = Narrow(buf.data());
    return true;
  }
  std::string af = Utf8ToAnsi(f), at = Utf8ToAnsi(title);
  std::vector<char> buf(kChars, '\0');
  OPENFILENAMEA ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = static_cast<HWND>(owner);
  ofn.lpstrFilter = af.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = kChars;
  ofn.lpstrTitle = at.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameA(&ofn)) return false;
  fileName = AnsiToUtf8(buf.data());
  return true;
}

bool Win32Os::ColorDialog(Handle owner, uint32_t& color) {
  static COLORREF custom[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = static_cast<HWND>(owner);
  cc.rgbResult = color & 0x80000000u ? GetSysColor(int(color & 0xFF)) : (color & 0xFFFFFF);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  if (!ChooseColorA(&cc)) return false;
  color = cc.rgbResult;
  return true;
}

int Win32Os::ShowModal(TForm* form) {
  HWND owner = form->Owner ? static_cast<HWND>(form->Owner->Handle) : nullptr;
  HWND box = static_cast<HWND>(form->Handle);
  if (!box) return 0;
  if (owner) EnableWindow(owner, FALSE);
  form->Visible = true;
  if (TApplication::ShowNative) TApplication::ShowNative(form);
  MSG msg;
  bool quit = false;
  while (form->ModalResult == 0) {
    BOOL got = Wide() ? GetMessageW(&msg, nullptr, 0, 0) : GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = true;
      break;
    }
    if (Wide() ? IsDialogMessageW(box, &msg) : IsDialogMessageA(box, &msg)) continue;
    TranslateMessage(&msg);
    if (Wide()) DispatchMessageW(&msg); else DispatchMessageA(&msg);
  }
  if (owner) EnableWindow(owner, TRUE);
  ShowWindow(box, SW_HIDE);
  form->Visible = false;
  if (owner) SetActiveWindow(owner);
  if (quit) PostQuitMessage(int(msg.wParam));
  return form->ModalResult;
}

void Win32Os::StartTimer(TTimer* t) {
  if (!t->NativeId) {
    t->NativeId = int(g_nextTimerId++);
    g_timers[UINT_PTR(t->NativeId)] = t;
  }
  SetTimer(TimerWindow(), UINT_PTR(t->NativeId), t->Interval, nullptr);
}

void Win32Os::StopTimer(TTimer* t) {
  if (t->NativeId) KillTimer(TimerWindow(), UINT_PTR(t->NativeId));
}

void Win32Os::RunMessageLoop() {
  MSG msg;
  for (;;) {
    BOOL got = Wide() ? GetMessageW(&msg, nullptr, 0, 0) : GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) break;
    HWND main = Application->MainForm ? static_cast<HWND>(Application->MainForm->Handle) : nullptr;
    if (main && (Wide() ? IsDialogMessageW(main, &msg) : IsDialogMessageA(main, &msg))) continue;
    TranslateMessage(&msg);
    if (Wide()) DispatchMessageW(&msg); else DispatchMessageA(&msg);
  }
}

void Win32Os::QuitMessageLoop() { PostQuitMessage(0); }
int Win32Os::ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int Win32Os::ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

}  // namespace sys
