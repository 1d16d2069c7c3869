// vprobe.dll: loaded by Wine into the player's process through the driver's
// WH_CALLWNDPROC hook, and so runs in the player's GUI thread. Answers what
// another process cannot read under Wine (the menu bar) or cannot compare
// (which standard icon a message box shows).
#undef WINVER
#undef _WIN32_WINNT
#undef _WIN32_IE
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#define _WIN32_IE 0x0600
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "jsonw.h"
#include "probe_proto.h"

using jw::Arr;
using jw::Obj;

namespace {

UINT probeMessage() {
  static UINT m = RegisterWindowMessageW(VPROBE_MESSAGE_NAME);
  return m;
}

std::string menuJson(HMENU menu, int depth) {
  Arr items;
  int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    MENUITEMINFOW mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    wchar_t text[512] = {};
    mi.dwTypeData = text;
    mi.cch = 511;
    if (!GetMenuItemInfoW(menu, (UINT)i, TRUE, &mi)) {
      items.raw(Obj().num("index", i).str("error", "GetMenuItemInfo failed").done());
      continue;
    }
    UINT st = GetMenuState(menu, (UINT)i, MF_BYPOSITION);
    Obj o;
    o.num("index", i).str("text", text).num("id", mi.hSubMenu ? -1 : (long long)mi.wID);
    o.boolean("separator", (mi.fType & MFT_SEPARATOR) != 0);
    o.boolean("grayed", (st & MF_GRAYED) != 0).boolean("disabled", (st & MF_DISABLED) != 0);
    o.boolean("enabled", (st & (MF_GRAYED | MF_DISABLED)) == 0);
    o.boolean("checked", (mi.fState & MFS_CHECKED) != 0);
    if (mi.hSubMenu && depth < 8) o.raw("items", menuJson(mi.hSubMenu, depth + 1));
    items.raw(o.done());
  }
  return items.done();
}

std::string doMenu(HWND target) {
  HMENU m = GetMenu(target);
  Obj o;
  o.boolean("has_menu", m != nullptr);
  o.num("thread", GetCurrentThreadId()).num("pid", GetCurrentProcessId());
  if (m) o.num("count", GetMenuItemCount(m)).raw("items", menuJson(m, 0));
  return o.done();
}

BOOL CALLBACK findIconStatic(HWND h, LPARAM lp) {
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0 && (GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    *(HWND*)lp = h;
    return FALSE;
  }
  return TRUE;
}

std::string doBoxIcon(HWND box) {
  HWND st = nullptr;
  EnumChildWindows(box, findIconStatic, (LPARAM)&st);
  if (!st) return jw::quote(std::string("none"));
  HICON shown = (HICON)SendMessageW(st, STM_GETICON, 0, 0);
  if (!shown) shown = (HICON)SendMessageW(st, STM_GETIMAGE, IMAGE_ICON, 0);
  struct { LPCWSTR res; const char* name; } table[] = {
      {IDI_HAND, "stop"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "information"},
      {IDI_QUESTION, "question"}, {IDI_APPLICATION, "application"}};
  for (auto& t : table)
    if (LoadIconW(nullptr, t.res) == shown) return jw::quote(std::string(t.name));
  return jw::quote(std::string(shown ? "other" : "none"));
}

std::string doStatus(HWND sb) {
  wchar_t b[1024] = {};
  Obj o;
  SendMessageW(sb, SB_GETTEXTW, 0, (LPARAM)b);
  o.str("part0", b);
  b[0] = 0;
  SendMessageW(sb, SB_GETTEXTW, SB_SIMPLEID, (LPARAM)b);
  o.str("simple", b);
  o.boolean("is_simple", SendMessageW(sb, SB_ISSIMPLE, 0, 0) != 0);
  return o.done();
}

void serve(WPARAM cookie) {
  wchar_t name[96];
  swprintf(name, 96, L"%ls%08lx", VPROBE_MAP_PREFIX, (unsigned long)cookie);
  HANDLE map = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
  if (!map) return;
  ProbeHeader* ph = (ProbeHeader*)MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, VPROBE_MAP_SIZE);
  if (ph && ph->magic == kProbeMagic && !ph->done) {
    HWND target = (HWND)(uintptr_t)ph->target;
    std::string ans;
    switch (ph->op) {
      case kProbeMenu: ans = doMenu(target); break;
      case kProbeBoxIcon: ans = doBoxIcon(target); break;
      case kProbeStatus: ans = doStatus(target); break;
      case kProbeBarrier: ans = "true"; break;
      default: ans = Obj().num("pid", GetCurrentProcessId()).num("thread", GetCurrentThreadId()).done(); break;
    }
    size_t room = VPROBE_MAP_SIZE - sizeof(ProbeHeader);
    if (ans.size() > room) ans = "null";
    memcpy(ph + 1, ans.data(), ans.size());
    ph->length = (uint32_t)ans.size();
    ph->done = 1;
  }
  if (ph) UnmapViewOfFile(ph);
  CloseHandle(map);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeCallWndProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const CWPSTRUCT* cw = (const CWPSTRUCT*)lp;
    if (cw && cw->message == probeMessage() && probeMessage() != 0) serve(cw->wParam);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeGetMsgProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) {
    const MSG* m = (const MSG*)lp;
    if (m && m->message == probeMessage() && probeMessage() != 0 && (uintptr_t)m->lParam == kProbeBarrierTag) {
      // Keys and clicks waiting in the queue are taken after posted messages: the
      // barrier goes to the back again until none is left before it. (Mouse
      // moves do not hold it: Wine may keep that bit set with nothing to take.)
      static WPARAM lastCookie = 0;
      static int requeued = 0;
      if (m->wParam != lastCookie) lastCookie = m->wParam, requeued = 0;
      const UINT busy = QS_KEY | QS_MOUSEBUTTON;
      if ((HIWORD(GetQueueStatus(busy)) & busy) && ++requeued < 1000) PostMessageW(m->hwnd, m->message, m->wParam, m->lParam);
      else serve(m->wParam);
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
