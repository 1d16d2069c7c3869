// vtwin.exe: a small window of known layout that the tool self-tests drive, so
// the driver, the probe and the drop source are checked apart from the player.
#undef WINVER
#undef _WIN32_WINNT
#undef _WIN32_IE
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#define _WIN32_IE 0x0600
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <commdlg.h>

#include <string>

#include "../../src/ui/control_ids.h"

namespace {

HINSTANCE g_inst;
HWND g_main, g_memo, g_count, g_status, g_track, g_progress;
int g_clicks = 0;

void setStatus(const std::wstring& t) { SendMessageW(g_status, SB_SETTEXTW, SB_SIMPLEID, (LPARAM)t.c_str()); }

LRESULT CALLBACK aboutProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COMMAND && LOWORD(w) == IDOK) { ShowWindow(h, SW_HIDE); return 0; }
  if (m == WM_CLOSE) { ShowWindow(h, SW_HIDE); return 0; }
  return DefWindowProcW(h, m, w, l);
}

void showAbout() {
  RECT r = {0, 0, 298, 203};
  DWORD style = WS_POPUP | WS_CAPTION | WS_DLGFRAME;
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  HWND a = CreateWindowExW(WS_EX_DLGMODALFRAME, L"TAboutBox", L"バージョン情報", style, x, y, w, h, g_main, nullptr, g_inst, nullptr);
  CreateWindowW(L"STATIC", L"Product Name Vantrel", WS_CHILD | WS_VISIBLE, 20, 20, 200, 16, a, (HMENU)(INT_PTR)ids::ProductName, g_inst, nullptr);
  CreateWindowW(L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 111, 170, 75, 25, a, (HMENU)(INT_PTR)IDOK, g_inst, nullptr);
  ShowWindow(a, SW_SHOW);
}

HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id, DWORD ex = 0) {
  return CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, g_main, (HMENU)(INT_PTR)id, g_inst, nullptr);
}

LRESULT CALLBACK mainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_CREATE: {
      g_main = h;
      HFONT f = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
      HWND b1 = child(L"BUTTON", L"再生", BS_PUSHBUTTON, 8, 24, 57, 25, ids::Button(1));
      HWND b3 = child(L"BUTTON", L"一時停止", BS_PUSHBUTTON, 149, 24, 57, 25, ids::Button(3));
      child(L"BUTTON", L"File Open", BS_PUSHBUTTON, 8, 360, 75, 25, ids::Button(4));
      EnableWindow(b3, FALSE);
      child(L"BUTTON", L"再生終了時にWindowsをシャットダウンする", BS_AUTOCHECKBOX, 8, 56, 241, 17, ids::CheckBox1);
      g_track = child(TRACKBAR_CLASSW, L"", TBS_HORZ, 64, 296, 150, 25, ids::TrackBar1);
      SendMessageW(g_track, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
      SendMessageW(g_track, TBM_SETPOS, TRUE, 50);
      g_progress = child(PROGRESS_CLASSW, L"", 0, 320, 88, 249, 16, ids::ProgressBar(1));
      SendMessageW(g_progress, PBM_SETPOS, 50, 0);
      g_count = child(L"STATIC", L"曲", SS_RIGHT, 473, 320, 100, 16, ids::Label(13));
      g_memo = child(L"EDIT", L"", ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 112, 336, 473, 97, ids::Memo1, WS_EX_CLIENTEDGE);
      g_status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, h, (HMENU)(INT_PTR)ids::StatusBar1, g_inst, nullptr);
      SendMessageW(g_status, SB_SIMPLE, TRUE, 0);
      setStatus(L"準備完了");
      for (HWND c : {b1, b3, g_count, g_memo}) SendMessageW(c, WM_SETFONT, (WPARAM)f, TRUE);
      DragAcceptFiles(h, TRUE);
      return 0;
    }
    case WM_SIZE:
      SendMessageW(g_status, WM_SIZE, 0, 0);
      return 0;
    case WM_HSCROLL:
      if ((HWND)l == g_track) {
        int pos = (int)SendMessageW(g_track, TBM_GETPOS, 0, 0);
        SendMessageW(g_progress, PBM_SETPOS, pos, 0);
        setStatus(L"volume " + std::to_wstring(pos));
      }
      return 0;
    case WM_LBUTTONDOWN:
      setStatus(L"form click " + std::to_wstring((short)LOWORD(l)) + L"," + std::to_wstring((short)HIWORD(l)));
      return 0;
    case WM_DROPFILES: {
      HDROP d = (HDROP)w;
      UINT n = DragQueryFileW(d, 0xFFFFFFFF, nullptr, 0);
      std::wstring text;
      for (UINT i = 0; i < n; ++i) {
        wchar_t p[2048] = {};
        DragQueryFileW(d, i, p, 2048);
        text += p;
        text += L"\r\n";
      }
      DragFinish(d);
      SetWindowTextW(g_memo, text.c_str());
      SetWindowTextW(g_count, (std::to_wstring(n) + L"曲").c_str());
      return 0;
    }
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case ids::CheckBox1:
          // Checked: the window stops taking dropped files.
          DragAcceptFiles(h, SendMessageW((HWND)l, BM_GETCHECK, 0, 0) != BST_CHECKED);
          return 0;
        case 101:
          setStatus(L"clicked " + std::to_wstring(++g_clicks));
          return 0;
        case ids::Exit1:
          DestroyWindow(h);
          return 0;
        case 104: {
          wchar_t file[1024] = {};
          OPENFILENAMEW ofn = {};
          ofn.lStructSize = sizeof ofn;
          ofn.hwndOwner = h;
          ofn.lpstrFilter = L"MP3ファイル(*.MP3)\0*.MP3\0";
          ofn.lpstrFile = file;
          ofn.nMaxFile = 1024;
          ofn.lpstrTitle = L"演奏するMP3ファイルを選んで下さい";
          ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
          if (GetOpenFileNameW(&ofn)) setStatus(std::wstring(L"open: ") + file);
          else setStatus(L"open: cancelled");
          return 0;
        }
        case ids::B1: {
          static COLORREF custom[16];
          CHOOSECOLORW cc = {};
          cc.lStructSize = sizeof cc;
          cc.hwndOwner = h;
          cc.lpCustColors = custom;
          cc.rgbResult = RGB(0, 0, 0);
          cc.Flags = CC_RGBINIT;
          if (ChooseColorW(&cc)) {
            wchar_t b[32];
            swprintf(b, 32, L"color: %02x%02x%02x", GetRValue(cc.rgbResult), GetGValue(cc.rgbResult), GetBValue(cc.rgbResult));
            setStatus(b);
          } else {
            setStatus(L"color: cancelled");
          }
          return 0;
        }
        case ids::M2:
          MessageBoxW(h, L"スペクトラムエラー", L"Vantrel", MB_OK | MB_ICONEXCLAMATION);
          return 0;
        case ids::About1:
          showAbout();
          return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

HMENU buildMenu() {
  HMENU bar = CreateMenu();
  HMENU p1 = CreatePopupMenu();
  AppendMenuW(p1, MF_STRING, ids::Exit1, L"終了(&E)");
  AppendMenuW(bar, MF_POPUP, (UINT_PTR)p1, L"メインメニュー(&M)");
  HMENU p2 = CreatePopupMenu();
  AppendMenuW(p2, MF_STRING | MF_GRAYED, ids::ONOFF1, L"スペクトラムON(&O)");
  AppendMenuW(p2, MF_STRING, ids::M2, L"文字色(&M)");
  AppendMenuW(p2, MF_STRING, ids::B1, L"背景色(&B)");
  AppendMenuW(bar, MF_POPUP, (UINT_PTR)p2, L"ツール(&T)");
  HMENU p3 = CreatePopupMenu();
  AppendMenuW(p3, MF_STRING, ids::About1, L"バージョン情報(&I)");
  AppendMenuW(bar, MF_POPUP, (UINT_PTR)p3, L"ヘルプ(&H)");
  return bar;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) {
  g_inst = inst;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"VantrelE2eSelfTestWindow");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    MessageBoxW(nullptr, L"すでに同じプログラムが起動しています", L"Vantrel", MB_OK | MB_ICONSTOP);
    return -1;
  }
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = mainProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"TForm1";
  RegisterClassW(&wc);
  wc.lpfnWndProc = aboutProc;
  wc.lpszClassName = L"TAboutBox";
  RegisterClassW(&wc);
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  HMENU menu = buildMenu();
  RECT r = {0, 0, 602, 470};
  AdjustWindowRect(&r, style, TRUE);
  CreateWindowW(L"TForm1", L"Vantrel", style, 100, 60, r.right - r.left, r.bottom - r.top, nullptr, menu, inst, nullptr);
  ShowWindow(g_main, show);
  UpdateWindow(g_main);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CloseHandle(mutex);
  return (int)msg.wParam;
}
