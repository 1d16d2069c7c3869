// vdrv: drives the player's windows from outside, as a user or the shell would.
// One command per line on stdin, one JSON line per command on stdout.
//   command key=value key="quoted value" ...
// Every answer has "ok": true or "ok": false with "error". See e2e/README.md.
#undef WINVER
#undef _WIN32_WINNT
#undef _WIN32_IE
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#define _WIN32_IE 0x0600
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "../../src/ui/control_ids.h"
#include "jsonw.h"
#include "probe_proto.h"

using jw::Arr;
using jw::Obj;

namespace {

// ---------------------------------------------------------------- names

struct Name {
  const wchar_t* prefix;
  int base;
  int count;
};
const Name kSeries[] = {
    {L"Button", 100, 7}, {L"Edit", 130, 6}, {L"Label", 200, 23}, {L"ProgressBar", 300, 8}};
const std::pair<const wchar_t*, int> kSingles[] = {
    {L"CheckBox1", ids::CheckBox1}, {L"TrackBar1", ids::TrackBar1}, {L"Memo1", ids::Memo1},
    {L"StatusBar1", ids::StatusBar1}, {L"Bevel1", ids::Bevel1}};
const std::pair<const wchar_t*, int> kMenuItems[] = {
    {L"Exit1", ids::Exit1},   {L"Exit2", ids::Exit2},         {L"ONOFF1", ids::ONOFF1},
    {L"OFFF1", ids::OFFF1},   {L"M2", ids::M2},               {L"B1", ids::B1},
    {L"WindowsS1", ids::WindowsS1}, {L"About1", ids::About1}};

static_assert(ids::Button(1) == 101 && ids::Edit(1) == 131 && ids::Label(1) == 201 &&
                  ids::ProgressBar(1) == 301,
              "control id series changed: update kSeries");

int idFromName(const std::wstring& n) {
  for (auto& s : kSingles)
    if (_wcsicmp(n.c_str(), s.first) == 0) return s.second;
  for (auto& s : kMenuItems)
    if (_wcsicmp(n.c_str(), s.first) == 0) return s.second;
  for (auto& s : kSeries) {
    size_t pl = wcslen(s.prefix);
    if (n.size() > pl && _wcsnicmp(n.c_str(), s.prefix, pl) == 0) {
      wchar_t* end = nullptr;
      long k = wcstol(n.c_str() + pl, &end, 10);
      if (end && *end == 0 && k >= 1) return s.base + (int)k;
    }
  }
  wchar_t* end = nullptr;
  long v = wcstol(n.c_str(), &end, 0);
  if (end && *end == 0 && !n.empty()) return (int)v;
  return -1;
}

std::wstring nameFromId(int id) {
  for (auto& s : kSingles)
    if (s.second == id) return s.first;
  for (auto& s : kSeries)
    if (id > s.base && id <= s.base + s.count) return std::wstring(s.prefix) + std::to_wstring(id - s.base);
  return L"";
}

// ---------------------------------------------------------------- command line

struct Cmd {
  std::string verb;
  std::map<std::string, std::string> args;
  bool has(const char* k) const { return args.count(k) != 0; }
  std::string get(const char* k, const char* def = "") const {
    auto it = args.find(k);
    return it == args.end() ? def : it->second;
  }
  long long num(const char* k, long long def) const {
    auto it = args.find(k);
    if (it == args.end() || it->second.empty()) return def;
    return strtoll(it->second.c_str(), nullptr, 0);
  }
  std::wstring wget(const char* k, const char* def = "") const { return jw::wide(get(k, def)); }
};

bool parseLine(const std::string& line, Cmd& c, std::string& err) {
  size_t i = 0, n = line.size();
  auto skip = [&] { while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i; };
  auto word = [&](std::string& out, bool stopAtEq) {
    if (i < n && line[i] == '"') {
      ++i;
      while (i < n && line[i] != '"') {
        if (line[i] == '\\' && i + 1 < n) {
          ++i;
          char e = line[i];
          out += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
        } else {
          out += line[i];
        }
        ++i;
      }
      if (i >= n) return false;
      ++i;
      return true;
    }
    while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && !(stopAtEq && line[i] == '=')) out += line[i++];
    return true;
  };
  skip();
  if (!word(c.verb, false)) { err = "unterminated quote"; return false; }
  for (;;) {
    skip();
    if (i >= n) break;
    std::string k, v;
    if (!word(k, true)) { err = "unterminated quote"; return false; }
    if (i < n && line[i] == '=') {
      ++i;
      if (!word(v, false)) { err = "unterminated quote"; return false; }
    }
    c.args[k] = v;
  }
  return true;
}

// ---------------------------------------------------------------- state

HWND g_main = nullptr;            // the window that commands address by default
std::map<DWORD, HANDLE> g_procs;  // process handles kept so exit codes stay readable
std::map<DWORD, HHOOK> g_hooks;   // probe hooks by thread id
std::map<DWORD, HHOOK> g_msgHooks;  // barrier hooks (WH_GETMESSAGE) by thread id
HMODULE g_probe = nullptr;
UINT g_probeMsg = 0;
DWORD g_cookie = 0;

HWND hwndArg(const Cmd& c, const char* key = "hwnd") {
  if (c.has(key)) return (HWND)(uintptr_t)c.num(key, 0);
  return nullptr;
}

std::string hstr(HWND h) { return std::to_string((unsigned long long)(uintptr_t)h); }

std::wstring className(HWND h) {
  wchar_t b[256] = {};
  GetClassNameW(h, b, 256);
  return b;
}

// WM_GETTEXT through the message queue (the right text for edits and buttons of
// other processes; Wine marshals the buffer).
std::wstring windowText(HWND h, UINT timeout = 3000) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeout, &len)) return L"";
  std::vector<wchar_t> b(len + 64);
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, (WPARAM)b.size(), (LPARAM)b.data(), SMTO_ABORTIFHUNG, timeout, &got))
    return L"";
  return std::wstring(b.data(), wcsnlen(b.data(), b.size()));
}

LRESULT sendT(HWND h, UINT m, WPARAM w, LPARAM l, bool* okOut = nullptr, UINT timeout = 3000) {
  DWORD_PTR r = 0;
  BOOL ok = SendMessageTimeoutW(h, m, w, l, SMTO_ABORTIFHUNG, timeout, &r) != 0;
  if (okOut) *okOut = ok;
  return (LRESULT)r;
}

// A buffer in another process, for messages that return data through a pointer
// Wine does not marshal (status bar texts).
struct RemoteBuf {
  HANDLE proc = nullptr;
  void* mem = nullptr;
  size_t size = 0;
  RemoteBuf(HWND owner, size_t sz) : size(sz) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (proc) mem = VirtualAllocEx(proc, nullptr, sz, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuf() {
    if (mem) VirtualFreeEx(proc, mem, 0, MEM_RELEASE);
    if (proc) CloseHandle(proc);
  }
  bool ok() const { return mem != nullptr; }
  bool read(void* dst, size_t n) {
    SIZE_T got = 0;
    return ReadProcessMemory(proc, mem, dst, n, &got) && got == n;
  }
  bool zero() {
    std::vector<char> z(size, 0);
    SIZE_T put = 0;
    return WriteProcessMemory(proc, mem, z.data(), size, &put) != 0;
  }
};

std::wstring statusText(HWND sb, int part, bool* ok) {
  *ok = false;
  bool sent = false;
  LRESULT lr = sendT(sb, SB_GETTEXTLENGTHW, part, 0, &sent);
  if (!sent) return L"";
  size_t len = LOWORD(lr);
  RemoteBuf rb(sb, (len + 64) * sizeof(wchar_t));
  if (!rb.ok() || !rb.zero()) return L"";
  sendT(sb, SB_GETTEXTW, part, (LPARAM)rb.mem, &sent);
  if (!sent) return L"";
  std::vector<wchar_t> b(len + 64, 0);
  if (!rb.read(b.data(), b.size() * sizeof(wchar_t))) return L"";
  *ok = true;
  return std::wstring(b.data(), wcsnlen(b.data(), b.size()));
}

RECT rectIn(HWND h, HWND parent) {
  RECT r;
  GetWindowRect(h, &r);
  if (parent) MapWindowPoints(nullptr, parent, (POINT*)&r, 2);
  return r;
}

std::string rectJson(const RECT& r) {
  return Obj().num("left", r.left).num("top", r.top).num("width", r.right - r.left).num("height", r.bottom - r.top).done();
}

bool clsIs(HWND h, const wchar_t* c) { return _wcsicmp(className(h).c_str(), c) == 0; }

// Everything worth knowing about one control, coordinates relative to `parent`'s client area.
std::string controlJson(HWND h, HWND parent) {
  Obj o;
  int id = GetDlgCtrlID(h);
  std::wstring cls = className(h);
  LONG style = GetWindowLongW(h, GWL_STYLE);
  o.raw("hwnd", hstr(h)).num("id", id).str("name", nameFromId(id)).str("class", cls);
  o.raw("rect", rectJson(rectIn(h, parent)));
  RECT cr;
  GetClientRect(h, &cr);
  o.num("client_width", cr.right).num("client_height", cr.bottom);
  o.boolean("enabled", IsWindowEnabled(h) != 0).boolean("visible", IsWindowVisible(h) != 0);
  o.num("style", (unsigned long)style).num("exstyle", (unsigned long)GetWindowLongW(h, GWL_EXSTYLE));
  if (_wcsicmp(cls.c_str(), STATUSCLASSNAMEW) == 0) {
    bool ok = false;
    std::wstring t = statusText(h, 0, &ok);
    o.str("text", t).boolean("text_read", ok);
    o.boolean("simple", sendT(h, SB_ISSIMPLE, 0, 0) != 0);
  } else {
    o.str("text", windowText(h));
  }
  if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    LONG t = style & BS_TYPEMASK;
    bool check = t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE ||
                 t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON;
    o.boolean("checkable", check);
    if (check) o.num("check", (long long)sendT(h, BM_GETCHECK, 0, 0));
    o.boolean("default", t == BS_DEFPUSHBUTTON);
  } else if (_wcsicmp(cls.c_str(), TRACKBAR_CLASSW) == 0) {
    o.num("pos", (long long)sendT(h, TBM_GETPOS, 0, 0));
    o.num("min", (long long)sendT(h, TBM_GETRANGEMIN, 0, 0));
    o.num("max", (long long)sendT(h, TBM_GETRANGEMAX, 0, 0));
    o.num("line_size", (long long)sendT(h, TBM_GETLINESIZE, 0, 0));
    o.num("page_size", (long long)sendT(h, TBM_GETPAGESIZE, 0, 0));
    // Thumb and channel, in the track bar's client coordinates (read through a buffer in the target).
    for (int k = 0; k < 2; ++k) {
      RemoteBuf rb(h, sizeof(RECT));
      RECT r = {};
      bool sent = false;
      if (rb.ok() && rb.zero()) {
        sendT(h, k == 0 ? TBM_GETTHUMBRECT : TBM_GETCHANNELRECT, 0, (LPARAM)rb.mem, &sent);
        if (sent) rb.read(&r, sizeof r);
      }
      o.raw(k == 0 ? "thumb" : "channel", rectJson(r));
    }
  } else if (_wcsicmp(cls.c_str(), PROGRESS_CLASSW) == 0) {
    o.num("pos", (long long)sendT(h, PBM_GETPOS, 0, 0));
    o.num("min", (long long)sendT(h, PBM_GETRANGE, TRUE, 0));
    o.num("max", (long long)sendT(h, PBM_GETRANGE, FALSE, 0));
  } else if (_wcsicmp(cls.c_str(), L"Edit") == 0) {
    LRESULT sel = sendT(h, EM_GETSEL, 0, 0);
    o.num("sel_start", LOWORD(sel)).num("sel_end", HIWORD(sel));
    o.num("first_visible_line", (long long)sendT(h, EM_GETFIRSTVISIBLELINE, 0, 0));
    o.num("line_count", (long long)sendT(h, EM_GETLINECOUNT, 0, 0));
    o.boolean("readonly", (style & ES_READONLY) != 0).boolean("multiline", (style & ES_MULTILINE) != 0);
  } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
    const wchar_t* al = (style & SS_TYPEMASK) == SS_RIGHT ? L"right" : (style & SS_TYPEMASK) == SS_CENTER ? L"center" : (style & SS_TYPEMASK) == SS_LEFT ? L"left" : L"other";
    o.str("align", al);
  }
  return o.done();
}

std::string err(const std::string& e) { return Obj().boolean("ok", false).str("error", e).done(); }
std::string winErr(const std::string& what) {
  return Obj().boolean("ok", false).str("error", what).num("win32_error", GetLastError()).done();
}

HWND mainArg(const Cmd& c) {
  HWND h = hwndArg(c);
  return h ? h : g_main;
}

HWND controlArg(const Cmd& c, HWND parent) {
  if (c.has("hwnd") && !c.has("name") && !c.has("id")) return hwndArg(c);
  int id = -1;
  if (c.has("name")) id = idFromName(c.wget("name"));
  else if (c.has("id")) id = (int)c.num("id", -1);
  if (id < 0 || !parent) return nullptr;
  return GetDlgItem(parent, id);
}

DWORD procOf(HWND h, DWORD* tid = nullptr) {
  DWORD pid = 0;
  DWORD t = GetWindowThreadProcessId(h, &pid);
  if (tid) *tid = t;
  return pid;
}

// ---------------------------------------------------------------- windows

struct Found {
  std::wstring cls;
  DWORD pid = 0;
  std::wstring title;
  bool needVisible = false;
  std::vector<HWND> out;
};

BOOL CALLBACK enumTop(HWND h, LPARAM lp) {
  Found* f = (Found*)lp;
  if (!f->cls.empty() && _wcsicmp(className(h).c_str(), f->cls.c_str()) != 0) return TRUE;
  if (f->pid && procOf(h) != f->pid) return TRUE;
  if (f->needVisible && !IsWindowVisible(h)) return TRUE;
  if (!f->title.empty()) {
    wchar_t b[512] = {};
    GetWindowTextW(h, b, 512);
    if (f->title != b) return TRUE;
  }
  f->out.push_back(h);
  return TRUE;
}

std::vector<HWND> topWindows(const std::wstring& cls, DWORD pid, const std::wstring& title = L"", bool visible = false) {
  Found f;
  f.cls = cls;
  f.pid = pid;
  f.title = title;
  f.needVisible = visible;
  EnumWindows(enumTop, (LPARAM)&f);
  return f.out;
}

std::string topJson(HWND h) {
  Obj o;
  DWORD tid = 0;
  DWORD pid = procOf(h, &tid);
  wchar_t title[1024] = {};
  GetWindowTextW(h, title, 1024);
  RECT wr, cr;
  GetWindowRect(h, &wr);
  GetClientRect(h, &cr);
  POINT org = {0, 0};
  ClientToScreen(h, &org);
  o.raw("hwnd", hstr(h)).num("pid", pid).num("tid", tid).str("class", className(h)).str("caption", title);
  o.raw("owner", hstr(GetWindow(h, GW_OWNER)));
  o.boolean("visible", IsWindowVisible(h) != 0).boolean("enabled", IsWindowEnabled(h) != 0);
  o.boolean("iconic", IsIconic(h) != 0);
  o.num("style", (unsigned long)GetWindowLongW(h, GWL_STYLE)).num("exstyle", (unsigned long)GetWindowLongW(h, GWL_EXSTYLE));
  o.raw("rect", rectJson(wr));
  o.num("client_width", cr.right).num("client_height", cr.bottom);
  o.num("client_left", org.x).num("client_top", org.y);
  o.boolean("has_menu", GetMenu(h) != nullptr);
  o.raw("foreground", GetForegroundWindow() == h ? "true" : "false");
  return o.done();
}

BOOL CALLBACK enumKids(HWND h, LPARAM lp) {
  ((std::vector<HWND>*)lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> children(HWND parent, bool directOnly) {
  std::vector<HWND> v;
  EnumChildWindows(parent, enumKids, (LPARAM)&v);
  if (directOnly) {
    std::vector<HWND> d;
    for (HWND h : v)
      if (GetParent(h) == parent) d.push_back(h);
    return d;
  }
  return v;
}

std::string childrenJson(HWND parent) {
  Arr a;
  for (HWND h : children(parent, false)) a.raw(controlJson(h, parent));
  return a.done();
}

// ---------------------------------------------------------------- probe

bool ensureProbe(std::string& e) {
  if (g_probe) return true;
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t* slash = wcsrchr(path, L'\\');
  if (slash) slash[1] = 0;
  wcscat(path, L"vprobe.dll");
  g_probe = LoadLibraryW(path);
  if (!g_probe) { e = "cannot load vprobe.dll beside vdrv.exe"; return false; }
  g_probeMsg = RegisterWindowMessageW(VPROBE_MESSAGE_NAME);
  return true;
}

// Runs one probe request in the thread that owns `target`; `via` is the window
// the request message is sent to (any window of that thread).
bool probe(HWND via, uint32_t op, HWND target, std::string& answer, std::string& e, UINT timeout = 5000) {
  if (!ensureProbe(e)) return false;
  DWORD tid = 0;
  procOf(via, &tid);
  if (!tid) { e = "no such window"; return false; }
  if (!g_hooks.count(tid)) {
    HOOKPROC proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(g_probe, "ProbeCallWndProc")));
    HHOOK hk = SetWindowsHookExW(WH_CALLWNDPROC, proc, g_probe, tid);
    if (!hk) { e = "SetWindowsHookEx failed: " + std::to_string(GetLastError()); return false; }
    g_hooks[tid] = hk;
  }
  DWORD cookie = (GetCurrentProcessId() << 12) ^ ++g_cookie;
  wchar_t name[96];
  swprintf(name, 96, L"%ls%08lx", VPROBE_MAP_PREFIX, (unsigned long)cookie);
  HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, VPROBE_MAP_SIZE, name);
  if (!map) { e = "CreateFileMapping failed"; return false; }
  ProbeHeader* ph = (ProbeHeader*)MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, VPROBE_MAP_SIZE);
  if (!ph) { CloseHandle(map); e = "MapViewOfFile failed"; return false; }
  ph->magic = kProbeMagic;
  ph->op = op;
  ph->target = (uint64_t)(uintptr_t)target;
  ph->done = 0;
  ph->length = 0;
  DWORD_PTR r = 0;
  BOOL sent = SendMessageTimeoutW(via, g_probeMsg, (WPARAM)cookie, 0, SMTO_ABORTIFHUNG, timeout, &r);
  bool ok = false;
  if (!sent) e = "probe message not answered";
  else if (!ph->done) e = "probe hook did not run in the target thread";
  else {
    answer.assign((const char*)(ph + 1), ph->length);
    ok = true;
  }
  UnmapViewOfFile(ph);
  CloseHandle(map);
  return ok;
}

// Posts a barrier to `h` and waits until the thread's message loop has taken it
// from the queue: every message posted to that thread before it has been taken too.
bool barrier(HWND h, DWORD timeout, std::string& e, DWORD* took) {
  if (!ensureProbe(e)) return false;
  DWORD tid = 0;
  procOf(h, &tid);
  if (!tid) { e = "no such window"; return false; }
  if (!g_msgHooks.count(tid)) {
    HOOKPROC proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(g_probe, "ProbeGetMsgProc")));
    HHOOK hk = SetWindowsHookExW(WH_GETMESSAGE, proc, g_probe, tid);
    if (!hk) { e = "SetWindowsHookEx failed: " + std::to_string(GetLastError()); return false; }
    g_msgHooks[tid] = hk;
  }
  DWORD cookie = (GetCurrentProcessId() << 12) ^ ++g_cookie;
  wchar_t name[96];
  swprintf(name, 96, L"%ls%08lx", VPROBE_MAP_PREFIX, (unsigned long)cookie);
  HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, VPROBE_MAP_SIZE, name);
  if (!map) { e = "CreateFileMapping failed"; return false; }
  volatile ProbeHeader* ph = (ProbeHeader*)MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, VPROBE_MAP_SIZE);
  if (!ph) { CloseHandle(map); e = "MapViewOfFile failed"; return false; }
  ph->magic = kProbeMagic;
  ph->op = kProbeBarrier;
  ph->target = (uint64_t)(uintptr_t)h;
  ph->done = 0;
  ph->length = 0;
  bool ok = false;
  DWORD start = GetTickCount();
  if (!PostMessageW(h, g_probeMsg, (WPARAM)cookie, (LPARAM)kProbeBarrierTag)) {
    e = "PostMessage failed";
  } else {
    for (;;) {
      if (ph->done) { ok = true; break; }
      if (GetTickCount() - start >= timeout) { e = "barrier not reached (the thread takes no posted messages)"; break; }
      Sleep(5);
    }
  }
  *took = GetTickCount() - start;
  UnmapViewOfFile((void*)ph);
  CloseHandle(map);
  return ok;
}

// ---------------------------------------------------------------- input

void mouseInput(int sx, int sy, DWORD downFlag, DWORD upFlag, int clicks) {
  int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  INPUT in[1] = {};
  in[0].type = INPUT_MOUSE;
  in[0].mi.dx = (LONG)(((long long)sx * 65535 + cx / 2) / (cx - 1));
  in[0].mi.dy = (LONG)(((long long)sy * 65535 + cy / 2) / (cy - 1));
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SetCursorPos(sx, sy);
  SendInput(1, in, sizeof(INPUT));
  Sleep(30);
  for (int k = 0; k < clicks; ++k) {
    INPUT b[2] = {};
    b[0].type = b[1].type = INPUT_MOUSE;
    b[0].mi.dwFlags = downFlag;
    b[1].mi.dwFlags = upFlag;
    SendInput(1, &b[0], sizeof(INPUT));
    Sleep(30);
    SendInput(1, &b[1], sizeof(INPUT));
    Sleep(30);
  }
}

struct KeyName {
  const char* name;
  WORD vk;
};
const KeyName kKeys[] = {
    {"LEFT", VK_LEFT},   {"RIGHT", VK_RIGHT}, {"UP", VK_UP},       {"DOWN", VK_DOWN},
    {"PGUP", VK_PRIOR},  {"PGDN", VK_NEXT},   {"HOME", VK_HOME},   {"END", VK_END},
    {"RETURN", VK_RETURN}, {"ENTER", VK_RETURN}, {"ESCAPE", VK_ESCAPE}, {"ESC", VK_ESCAPE},
    {"SPACE", VK_SPACE}, {"TAB", VK_TAB},     {"DELETE", VK_DELETE}, {"BACK", VK_BACK},
    {"F1", VK_F1},       {"F4", VK_F4},       {"MENU", VK_MENU},   {"ALT", VK_MENU},
    {"CONTROL", VK_CONTROL}, {"SHIFT", VK_SHIFT}};

bool keyCode(const std::string& k, WORD& vk) {
  for (auto& kn : kKeys)
    if (_stricmp(k.c_str(), kn.name) == 0) { vk = kn.vk; return true; }
  if (k.size() == 1 && ((k[0] >= 'A' && k[0] <= 'Z') || (k[0] >= '0' && k[0] <= '9'))) { vk = (WORD)k[0]; return true; }
  if (k.size() == 1 && k[0] >= 'a' && k[0] <= 'z') { vk = (WORD)(k[0] - 32); return true; }
  if (k.size() > 2 && k[0] == '0' && (k[1] == 'x' || k[1] == 'X')) { vk = (WORD)strtol(k.c_str(), nullptr, 16); return true; }
  return false;
}

bool extendedKey(WORD vk) {
  switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT:
    case VK_HOME: case VK_END: case VK_DELETE: case VK_INSERT:
      return true;
  }
  return false;
}

std::vector<std::string> splitComma(const std::string& s) {
  std::vector<std::string> v;
  std::string cur;
  for (char ch : s) {
    if (ch == ',' || ch == '+') { if (!cur.empty()) v.push_back(cur); cur.clear(); }
    else cur += ch;
  }
  if (!cur.empty()) v.push_back(cur);
  return v;
}

HWND threadFocus(DWORD tid) {
  GUITHREADINFO gi;
  ZeroMemory(&gi, sizeof gi);
  gi.cbSize = sizeof gi;
  return GetGUIThreadInfo(tid, &gi) ? gi.hwndFocus : nullptr;
}

// Gives `ctl` the keyboard focus of its thread and makes its top-level window the
// foreground one. Activation reaches the other thread asynchronously, so this
// tries again until the thread reports the focus where it was asked (3 s at most).
bool focusControl(HWND top, HWND ctl) {
  DWORD tid = 0;
  procOf(top, &tid);
  DWORD me = GetCurrentThreadId();
  DWORD start = GetTickCount();
  bool ok = false;
  do {
    AttachThreadInput(me, tid, TRUE);
    if (GetForegroundWindow() != top) SetForegroundWindow(top);
    SetActiveWindow(top);
    SetFocus(ctl);
    AttachThreadInput(me, tid, FALSE);
    if (GetForegroundWindow() == top && threadFocus(tid) == ctl) { ok = true; break; }
    Sleep(20);
  } while (GetTickCount() - start < 3000);
  return ok;
}

// ---------------------------------------------------------------- commands

std::string cmdFind(const Cmd& c) {
  std::wstring cls = c.wget("class", "TForm1");
  DWORD pid = (DWORD)c.num("pid", 0);
  std::wstring title = c.wget("caption");
  bool visible = c.num("visible", 1) != 0;
  DWORD timeout = (DWORD)c.num("timeout", 10000);
  DWORD start = GetTickCount();
  for (;;) {
    auto v = topWindows(cls, pid, title, visible);
    if (!v.empty()) {
      HWND h = v.front();
      if (c.num("select", 1)) g_main = h;
      DWORD wpid = procOf(h);
      if (!g_procs.count(wpid)) {
        HANDLE ph = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, wpid);
        if (ph) g_procs[wpid] = ph;
      }
      return Obj().boolean("ok", true).raw("window", topJson(h)).num("count", (long long)v.size()).done();
    }
    if (GetTickCount() - start >= timeout) return err("no window of that class found");
    Sleep(50);
  }
}

std::string cmdWindows(const Cmd& c) {
  Arr a;
  bool withKids = c.num("children", 0) != 0;
  for (HWND h : topWindows(c.wget("class"), (DWORD)c.num("pid", 0), c.wget("caption"), c.num("visible", 0) != 0)) {
    std::string j = topJson(h);
    if (withKids) j = j.substr(0, j.size() - 1) + ",\"children\":" + childrenJson(h) + "}";
    a.raw(j);
  }
  return Obj().boolean("ok", true).raw("windows", a.done()).done();
}

std::string cmdControls(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m || !IsWindow(m)) return err("no main window");
  return Obj().boolean("ok", true).raw("controls", childrenJson(m)).done();
}

std::string cmdControl(const Cmd& c) {
  HWND m = mainArg(c);
  HWND h = controlArg(c, m);
  if (!h) return err("no such control");
  return Obj().boolean("ok", true).raw("control", controlJson(h, GetParent(h) ? GetParent(h) : m)).done();
}

std::string cmdMain(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m || !IsWindow(m)) return Obj().boolean("ok", false).str("error", "no main window").boolean("exists", false).done();
  return Obj().boolean("ok", true).boolean("exists", true).raw("window", topJson(m)).done();
}

std::string cmdStatus(const Cmd& c) {
  HWND m = mainArg(c);
  HWND sb = c.has("name") || c.has("id") ? controlArg(c, m) : GetDlgItem(m, ids::StatusBar1);
  if (!sb) return err("no status bar");
  bool ok = false;
  std::wstring t = statusText(sb, 0, &ok);
  if (!ok) return err("status bar text unreadable");
  return Obj().boolean("ok", true).str("text", t).done();
}

std::string cmdText(const Cmd& c) {
  HWND h = controlArg(c, mainArg(c));
  if (!h) h = mainArg(c);
  if (!h) return err("no such window");
  return Obj().boolean("ok", true).str("text", windowText(h)).done();
}

std::string cmdMemo(const Cmd& c) {
  HWND m = mainArg(c);
  HWND h = c.has("name") || c.has("id") ? controlArg(c, m) : GetDlgItem(m, ids::Memo1);
  if (!h) return err("no memo");
  std::wstring t = windowText(h);
  Arr lines;
  size_t p = 0;
  if (!t.empty()) {
    for (;;) {
      size_t q = t.find(L"\r\n", p);
      if (q == std::wstring::npos) { if (p < t.size()) lines.str(t.substr(p)); break; }
      lines.str(t.substr(p, q - p));
      p = q + 2;
    }
  }
  LRESULT sel = sendT(h, EM_GETSEL, 0, 0);
  return Obj().boolean("ok", true).str("text", t).raw("lines", lines.done())
      .num("sel_start", LOWORD(sel)).num("sel_end", HIWORD(sel))
      .num("first_visible_line", (long long)sendT(h, EM_GETFIRSTVISIBLELINE, 0, 0))
      .num("line_count", (long long)sendT(h, EM_GETLINECOUNT, 0, 0)).done();
}

std::string cmdClick(const Cmd& c) {
  HWND m = mainArg(c);
  HWND h = controlArg(c, m);
  if (!h) return err("no such control");
  std::string how = c.get("how", "msg");
  if (how == "mouse") {
    RECT r;
    GetWindowRect(h, &r);
    mouseInput((r.left + r.right) / 2, (r.top + r.bottom) / 2, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1);
    return Obj().boolean("ok", true).str("how", how).done();
  }
  if (how == "post") {
    if (!PostMessageW(h, BM_CLICK, 0, 0)) return winErr("PostMessage failed");
    return Obj().boolean("ok", true).str("how", how).done();
  }
  // Sent and waited for, up to `timeout` ms; a handler that opens a modal box
  // keeps the send pending, which is reported as done=false.
  bool ok = false;
  sendT(h, BM_CLICK, 0, 0, &ok, (UINT)c.num("timeout", 3000));
  return Obj().boolean("ok", true).str("how", "msg").boolean("done", ok).done();
}

std::string cmdMouse(const Cmd& c) {
  HWND m = mainArg(c);
  HWND base = m;
  if (c.has("name") || c.has("id")) base = controlArg(c, m);
  if (!base) return err("no such window");
  POINT p = {(LONG)c.num("x", 0), (LONG)c.num("y", 0)};
  ClientToScreen(base, &p);
  std::string btn = c.get("button", "left");
  DWORD down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
  if (btn == "right") { down = MOUSEEVENTF_RIGHTDOWN; up = MOUSEEVENTF_RIGHTUP; }
  int clicks = (int)c.num("clicks", 1);
  std::string how = c.get("how", "input");
  if (how == "msg") {
    // Posted button messages to the child under the point, as the window manager would route them.
    HWND target = WindowFromPoint(p);
    if (!target) return err("no window at that point");
    POINT cp = p;
    ScreenToClient(target, &cp);
    LPARAM lp = MAKELPARAM(cp.x, cp.y);
    UINT dm = btn == "right" ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
    UINT um = btn == "right" ? WM_RBUTTONUP : WM_LBUTTONUP;
    for (int k = 0; k < clicks; ++k) {
      PostMessageW(target, dm, btn == "right" ? MK_RBUTTON : MK_LBUTTON, lp);
      PostMessageW(target, um, 0, lp);
    }
    return Obj().boolean("ok", true).raw("target", hstr(target)).num("screen_x", p.x).num("screen_y", p.y).done();
  }
  mouseInput(p.x, p.y, down, up, clicks);
  POINT now;
  GetCursorPos(&now);
  return Obj().boolean("ok", true).num("screen_x", p.x).num("screen_y", p.y).num("cursor_x", now.x).num("cursor_y", now.y)
      .raw("under", hstr(WindowFromPoint(p))).done();
}

// A left-button drag through real input: press at (x, y), move in `steps` steps
// to (x2, y2), release there; points in client coordinates of the window or control.
std::string cmdDrag(const Cmd& c) {
  HWND m = mainArg(c);
  HWND base = m;
  if (c.has("name") || c.has("id")) base = controlArg(c, m);
  if (!base) return err("no such window");
  POINT a = {(LONG)c.num("x", 0), (LONG)c.num("y", 0)};
  POINT b = {(LONG)c.num("x2", 0), (LONG)c.num("y2", 0)};
  ClientToScreen(base, &a);
  ClientToScreen(base, &b);
  int steps = (int)c.num("steps", 5);
  if (steps < 1) steps = 1;
  int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  auto moveTo = [&](LONG x, LONG y, DWORD extra) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (LONG)(((long long)x * 65535 + cx / 2) / (cx - 1));
    in.mi.dy = (LONG)(((long long)y * 65535 + cy / 2) / (cy - 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | extra;
    SendInput(1, &in, sizeof(INPUT));
    Sleep(40);
  };
  SetCursorPos(a.x, a.y);
  moveTo(a.x, a.y, 0);
  moveTo(a.x, a.y, MOUSEEVENTF_LEFTDOWN);
  for (int k = 1; k <= steps; ++k)
    moveTo(a.x + (b.x - a.x) * k / steps, a.y + (b.y - a.y) * k / steps, 0);
  moveTo(b.x, b.y, MOUSEEVENTF_LEFTUP);
  POINT now;
  GetCursorPos(&now);
  return Obj().boolean("ok", true).num("screen_x", a.x).num("screen_y", a.y).num("screen_x2", b.x).num("screen_y2", b.y)
      .num("cursor_x", now.x).num("cursor_y", now.y).done();
}

std::string cmdKeys(const Cmd& c) {
  HWND m = mainArg(c);
  HWND h = controlArg(c, m);
  if (!h) h = m;
  if (!h) return err("no such window");
  std::vector<WORD> vks;
  for (auto& k : splitComma(c.get("keys"))) {
    WORD vk;
    if (!keyCode(k, vk)) return err("unknown key " + k);
    vks.push_back(vk);
  }
  std::string how = c.get("how", "input");
  HWND top = GetAncestor(h, GA_ROOT);
  bool focused = focusControl(top, h);
  if (how == "msg") {
    for (WORD vk : vks) {
      UINT sc = MapVirtualKeyW(vk, 0);
      LPARAM base = 1 | (sc << 16) | (extendedKey(vk) ? (1 << 24) : 0);
      PostMessageW(h, WM_KEYDOWN, vk, base);
      PostMessageW(h, WM_KEYUP, vk, base | (1u << 30) | (1u << 31));
    }
  } else {
    for (WORD vk : vks) {
      INPUT in[2] = {};
      in[0].type = in[1].type = INPUT_KEYBOARD;
      in[0].ki.wVk = in[1].ki.wVk = vk;
      in[0].ki.wScan = in[1].ki.wScan = (WORD)MapVirtualKeyW(vk, 0);
      DWORD ext = extendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0;
      in[0].ki.dwFlags = ext;
      in[1].ki.dwFlags = ext | KEYEVENTF_KEYUP;
      SendInput(1, &in[0], sizeof(INPUT));
      Sleep(20);
      SendInput(1, &in[1], sizeof(INPUT));
      Sleep(20);
    }
  }
  return Obj().boolean("ok", true).boolean("focused", focused).num("count", (long long)vks.size()).done();
}

std::string cmdFocus(const Cmd& c) {
  HWND m = mainArg(c);
  HWND h = controlArg(c, m);
  if (!h) h = m;
  if (!h) return err("no such window");
  bool f = focusControl(GetAncestor(h, GA_ROOT), h);
  return Obj().boolean("ok", true).boolean("focused", f).done();
}

std::string cmdFocused(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m) return err("no main window");
  GUITHREADINFO gi;
  ZeroMemory(&gi, sizeof gi);
  gi.cbSize = sizeof gi;
  DWORD tid = 0;
  procOf(m, &tid);
  if (!GetGUIThreadInfo(tid, &gi)) return winErr("GetGUIThreadInfo failed");
  return Obj().boolean("ok", true).raw("focus", hstr(gi.hwndFocus)).num("focus_id", gi.hwndFocus ? GetDlgCtrlID(gi.hwndFocus) : 0)
      .str("focus_name", gi.hwndFocus ? nameFromId(GetDlgCtrlID(gi.hwndFocus)) : L"")
      .raw("active", hstr(gi.hwndActive)).raw("capture", hstr(gi.hwndCapture)).raw("foreground", hstr(GetForegroundWindow())).done();
}

std::string cmdCommand(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m) return err("no main window");
  int id = c.has("name") ? idFromName(c.wget("name")) : (int)c.num("id", -1);
  if (id < 0) return err("no command id");
  if (!PostMessageW(m, WM_COMMAND, MAKEWPARAM(id, 0), 0)) return winErr("PostMessage failed");
  return Obj().boolean("ok", true).num("id", id).done();
}

std::string cmdPost(const Cmd& c) {
  HWND h = c.has("name") || c.has("id") ? controlArg(c, mainArg(c)) : mainArg(c);
  if (!h) return err("no such window");
  UINT msg = (UINT)c.num("msg", 0);
  WPARAM wp = (WPARAM)c.num("wparam", 0);
  LPARAM lp = (LPARAM)c.num("lparam", 0);
  if (c.get("mode", "post") == "send") {
    bool ok = false;
    LRESULT r = sendT(h, msg, wp, lp, &ok, (UINT)c.num("timeout", 3000));
    return Obj().boolean("ok", true).boolean("done", ok).num("result", (long long)r).done();
  }
  if (!PostMessageW(h, msg, wp, lp)) return winErr("PostMessage failed");
  return Obj().boolean("ok", true).done();
}

// Menu items as the program's own thread sees them.
std::string cmdMenus(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m || !IsWindow(m)) return err("no main window");
  std::string ans, e;
  if (!probe(m, kProbeMenu, m, ans, e)) return err(e);
  return Obj().boolean("ok", true).raw("menu", ans).done();
}

std::string boxJson(HWND b, bool withIcon) {
  std::string j = topJson(b);
  Obj extra;
  HWND st = GetDlgItem(b, 0xFFFF);
  extra.str("text", st ? windowText(st) : L"");
  Arr btns;
  for (HWND k : children(b, true))
    if (clsIs(k, L"Button"))
      btns.raw(Obj().num("id", GetDlgCtrlID(k)).str("text", windowText(k)).boolean("enabled", IsWindowEnabled(k) != 0)
                   .boolean("visible", IsWindowVisible(k) != 0).done());
  extra.raw("buttons", btns.done());
  std::string icon, e;
  if (withIcon && IsWindowVisible(b) && probe(b, kProbeBoxIcon, b, icon, e, 1000)) extra.raw("icon", icon);
  else extra.str("icon", "");
  std::string x = extra.done();
  return j.substr(0, j.size() - 1) + "," + x.substr(1);
}

std::string cmdBoxes(const Cmd& c) {
  Arr a;
  bool all = c.num("hidden", 0) != 0;
  bool icon = c.num("icon", 0) != 0;  // asks the probe inside the box's thread
  for (HWND h : topWindows(L"#32770", (DWORD)c.num("pid", 0), c.wget("caption"), !all)) a.raw(boxJson(h, icon));
  return Obj().boolean("ok", true).raw("boxes", a.done()).done();
}

std::string cmdPress(const Cmd& c) {
  HWND b = hwndArg(c);
  if (!b) {
    auto v = topWindows(L"#32770", (DWORD)c.num("pid", 0), c.wget("caption"), true);
    if (v.empty()) return err("no message box");
    b = v.front();
  }
  int id = (int)c.num("button", IDOK);
  HWND btn = GetDlgItem(b, id);
  if (!btn) return err("box has no button with that id");
  if (c.get("how", "command") == "click") {
    if (!PostMessageW(btn, BM_CLICK, 0, 0)) return winErr("PostMessage failed");
  } else if (!PostMessageW(b, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)btn)) {
    return winErr("PostMessage failed");
  }
  return Obj().boolean("ok", true).raw("hwnd", hstr(b)).num("button", id).done();
}

std::string cmdSetText(const Cmd& c) {
  HWND h = c.has("name") || c.has("id") ? controlArg(c, hwndArg(c) ? hwndArg(c) : g_main) : hwndArg(c);
  if (!h) return err("no such window");
  std::wstring t = c.wget("text");
  bool ok = false;
  sendT(h, WM_SETTEXT, 0, (LPARAM)t.c_str(), &ok);
  return Obj().boolean("ok", ok).done();
}

std::string cmdClose(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m || !IsWindow(m)) return err("no window");
  if (!PostMessageW(m, WM_CLOSE, 0, 0)) return winErr("PostMessage failed");
  return Obj().boolean("ok", true).done();
}

std::string cmdSync(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m) return err("no window");
  bool ok = false;
  sendT(m, WM_NULL, 0, 0, &ok, (UINT)c.num("timeout", 5000));
  return Obj().boolean("ok", ok).done();
}

std::string cmdRedraw(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m || !IsWindow(m)) return err("no window");
  BOOL ok = RedrawWindow(m, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return Obj().boolean("ok", ok != 0).done();
}

std::string cmdBarrier(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m || !IsWindow(m)) return err("no window");
  std::string e;
  DWORD took = 0;
  if (!barrier(m, (DWORD)c.num("timeout", 10000), e, &took)) return err(e);
  return Obj().boolean("ok", true).num("ms", took).done();
}

std::string cmdExitCode(const Cmd& c) {
  DWORD pid = (DWORD)c.num("pid", 0);
  if (!pid && g_main) pid = procOf(g_main);
  HANDLE h = g_procs.count(pid) ? g_procs[pid] : nullptr;
  if (!h) return err("process not watched (find it first)");
  DWORD wait = WaitForSingleObject(h, (DWORD)c.num("timeout", 0));
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  Obj o;
  o.boolean("ok", true).num("pid", pid).boolean("running", wait != WAIT_OBJECT_0);
  if (wait == WAIT_OBJECT_0) o.num("code", (long)code);
  return o.done();
}

std::string cmdProcs(const Cmd& c) {
  std::wstring dir = c.wget("dir");
  std::wstring name = c.wget("name");
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return winErr("CreateToolhelp32Snapshot failed");
  PROCESSENTRY32W pe;
  ZeroMemory(&pe, sizeof pe);
  pe.dwSize = sizeof pe;
  Arr a;
  for (BOOL more = Process32FirstW(snap, &pe); more; more = Process32NextW(snap, &pe)) {
    if (!name.empty() && _wcsicmp(pe.szExeFile, name.c_str()) != 0) continue;
    std::wstring full;
    HANDLE ph = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pe.th32ProcessID);
    if (ph) {
      wchar_t b[2048];
      DWORD n = 2048;
      if (QueryFullProcessImageNameW(ph, 0, b, &n)) full.assign(b, n);
      CloseHandle(ph);
    }
    if (!dir.empty() && (full.size() < dir.size() || _wcsnicmp(full.c_str(), dir.c_str(), dir.size()) != 0)) continue;
    a.raw(Obj().num("pid", pe.th32ProcessID).num("parent", pe.th32ParentProcessID).str("exe", pe.szExeFile).str("path", full).done());
  }
  CloseHandle(snap);
  return Obj().boolean("ok", true).raw("procs", a.done()).done();
}

std::string cmdWatch(const Cmd& c) {
  DWORD pid = (DWORD)c.num("pid", 0);
  if (g_procs.count(pid)) return Obj().boolean("ok", true).done();
  HANDLE ph = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
  if (!ph) return winErr("OpenProcess failed");
  g_procs[pid] = ph;
  return Obj().boolean("ok", true).done();
}

std::string cmdKill(const Cmd& c) {
  DWORD pid = (DWORD)c.num("pid", 0);
  HANDLE ph = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  if (!ph) return winErr("OpenProcess failed");
  BOOL ok = TerminateProcess(ph, (UINT)c.num("code", 1));
  CloseHandle(ph);
  return Obj().boolean("ok", ok != 0).done();
}

std::string cmdScreen(const Cmd&) {
  POINT p;
  GetCursorPos(&p);
  return Obj().boolean("ok", true).num("width", GetSystemMetrics(SM_CXSCREEN)).num("height", GetSystemMetrics(SM_CYSCREEN))
      .num("cursor_x", p.x).num("cursor_y", p.y).num("acp", GetACP()).done();
}

std::string cmdPing(const Cmd& c) {
  HWND m = mainArg(c);
  if (!m) return Obj().boolean("ok", true).done();
  std::string ans, e;
  if (!probe(m, kProbePing, m, ans, e)) return err(e);
  return Obj().boolean("ok", true).raw("probe", ans).done();
}

std::string dispatch(const Cmd& c) {
  const std::string& v = c.verb;
  if (v == "find") return cmdFind(c);
  if (v == "select") { g_main = hwndArg(c); return cmdMain(c); }
  if (v == "main") return cmdMain(c);
  if (v == "windows") return cmdWindows(c);
  if (v == "controls") return cmdControls(c);
  if (v == "control") return cmdControl(c);
  if (v == "children") {
    HWND h = hwndArg(c);
    if (!h) return err("hwnd needed");
    return Obj().boolean("ok", true).raw("controls", childrenJson(h)).done();
  }
  if (v == "status") return cmdStatus(c);
  if (v == "text") return cmdText(c);
  if (v == "memo") return cmdMemo(c);
  if (v == "click") return cmdClick(c);
  if (v == "mouse") return cmdMouse(c);
  if (v == "drag") return cmdDrag(c);
  if (v == "keys") return cmdKeys(c);
  if (v == "focus") return cmdFocus(c);
  if (v == "focused") return cmdFocused(c);
  if (v == "command" || v == "menu") return cmdCommand(c);
  if (v == "post") return cmdPost(c);
  if (v == "menus") return cmdMenus(c);
  if (v == "boxes") return cmdBoxes(c);
  if (v == "press") return cmdPress(c);
  if (v == "settext") return cmdSetText(c);
  if (v == "close") return cmdClose(c);
  if (v == "sync") return cmdSync(c);
  if (v == "barrier") return cmdBarrier(c);
  if (v == "redraw") return cmdRedraw(c);
  if (v == "exitcode") return cmdExitCode(c);
  if (v == "procs") return cmdProcs(c);
  if (v == "watch") return cmdWatch(c);
  if (v == "kill") return cmdKill(c);
  if (v == "screen") return cmdScreen(c);
  if (v == "ping") return cmdPing(c);
  return err("unknown command " + v);
}

}  // namespace

int main() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  auto write = [&](const std::string& s) {
    std::string l = s + "\n";
    DWORD put = 0;
    WriteFile(out, l.data(), (DWORD)l.size(), &put, nullptr);
    FlushFileBuffers(out);
  };
  write(Obj().boolean("ok", true).str("ready", "vdrv").done());
  std::string buf;
  char chunk[4096];
  for (;;) {
    size_t nl;
    while ((nl = buf.find('\n')) != std::string::npos) {
      std::string line = buf.substr(0, nl);
      buf.erase(0, nl + 1);
      Cmd c;
      std::string e;
      if (!parseLine(line, c, e)) { write(err(e)); continue; }
      if (c.verb.empty()) continue;
      if (c.verb == "quit") {
        write(Obj().boolean("ok", true).done());
        for (auto& hk : g_hooks) UnhookWindowsHookEx(hk.second);
        for (auto& hk : g_msgHooks) UnhookWindowsHookEx(hk.second);
        return 0;
      }
      write(dispatch(c));
    }
    DWORD got = 0;
    if (!ReadFile(in, chunk, sizeof chunk, &got, nullptr) || got == 0) break;
    buf.append(chunk, got);
  }
  for (auto& hk : g_hooks) UnhookWindowsHookEx(hk.second);
  for (auto& hk : g_msgHooks) UnhookWindowsHookEx(hk.second);
  return 0;
}
