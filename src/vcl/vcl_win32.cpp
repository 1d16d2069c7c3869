// Native Windows peers of the forms and controls.
#include "os/wintypes.h"
#include "vcl/vcl_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <map>
#include <set>

#include "os/os.h"

namespace {

bool Wide() {
  static const bool wide = (GetVersion() & 0x80000000u) == 0;  // the NT family
  return wide;
}

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

std::string ToAnsi(const String& s) { return sys::os().Utf8ToAnsi(s); }

void SetText(HWND h, const String& s) {
  if (Wide())
    SetWindowTextW(h, Widen(s).c_str());
  else
    SetWindowTextA(h, ToAnsi(s).c_str());
}

HWND CreateControl(DWORD ex, const char* cls, const String& text, DWORD style, int x, int y, int w, int h,
                   HWND parent, int id) {
  if (Wide())
    return CreateWindowExW(ex, Widen(cls).c_str(), Widen(text).c_str(), style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(INT_PTR(id)), Instance(), nullptr);
  return CreateWindowExA(ex, cls, ToAnsi(text).c_str(), style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(INT_PTR(id)), Instance(), nullptr);
}

COLORREF Resolve(TColor c) {
  uint32_t v = uint32_t(c);
  if (v & 0x80000000u) return GetSysColor(int(v & 0xFF));
  if (c == clNone) return GetSysColor(COLOR_WINDOW);
  return v & 0xFFFFFF;
}

HBRUSH Brush(COLORREF c) {
  static std::map<COLORREF, HBRUSH> brushes;
  auto it = brushes.find(c);
  if (it != brushes.end()) return it->second;
  return brushes[c] = CreateSolidBrush(c);
}

HFONT FormFont() {
  static HFONT font = nullptr;
  if (!font) {
    const wchar_t kFace[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";  // ＭＳ Ｐゴシック
    if (Wide()) {
      font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFace);
    } else {
      std::string face = ToAnsi(Narrow(kFace));
      font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    }
  }
  return font;
}

HICON ProgramIcon() {
  static HICON icon = LoadIconA(Instance(), MAKEINTRESOURCEA(1));
  return icon;
}

TForm* FormOf(HWND h) { return reinterpret_cast<TForm*>(GetWindowLongPtrA(h, GWLP_USERDATA)); }

TControl* ControlOf(TForm* f, HWND h) {
  for (TControl* c : f->Controls)
    if (c->Handle == h) return c;
  return nullptr;
}

class Win32Peer : public PeerOps {
 public:
  void TextChanged(TControl* c) override {
    HWND h = static_cast<HWND>(c->Handle);
    if (c->kind == TControl::Memo) {
      SetText(h, static_cast<TMemo*>(c)->Lines.Text());
    } else if (c->kind == TControl::StatusBar) {
      if (Wide())
        SendMessageW(h, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(Widen(c->Text()).c_str()));
      else
        SendMessageA(h, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(ToAnsi(c->Text()).c_str()));
    } else {
      SetText(h, c->Text());
    }
  }
  void EnabledChanged(TControl* c) override { EnableWindow(static_cast<HWND>(c->Handle), c->Enabled()); }
  void BoundsChanged(TControl* c) override {
    SetWindowPos(static_cast<HWND>(c->Handle), nullptr, c->Left, c->Top, c->Width, c->Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void ColorsChanged(TControl* c) override { InvalidateRect(static_cast<HWND>(c->Handle), nullptr, TRUE); }
  void PositionChanged(TControl* c) override {
    HWND h = static_cast<HWND>(c->Handle);
    switch (c->kind) {
      case TControl::TrackBar:
        SendMessageA(h, TBM_SETPOS, TRUE, static_cast<TTrackBar*>(c)->Position());
        break;
      case TControl::ProgressBar:
        SendMessageA(h, PBM_SETPOS, WPARAM(static_cast<TProgressBar*>(c)->Position()), 0);
        break;
      case TControl::CheckBox:
        SendMessageA(h, BM_SETCHECK, static_cast<TCheckBox*>(c)->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      default:
        break;
    }
  }
  void LineAdded(TControl* memo, const String& line) override {
    HWND h = static_cast<HWND>(memo->Handle);
    String add = static_cast<TMemo*>(memo)->Lines.Count() > 1 ? "\r\n" + line : line;
    int end = GetWindowTextLengthA(h);
    if (Wide()) {
      end = GetWindowTextLengthW(h);
      SendMessageW(h, EM_SETSEL, WPARAM(end), LPARAM(end));
      SendMessageW(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Widen(add).c_str()));
    } else {
      SendMessageA(h, EM_SETSEL, WPARAM(end), LPARAM(end));
      SendMessageA(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(ToAnsi(add).c_str()));
    }
  }
  void SelectLine(TControl* memo, int line) override {
    HWND h = static_cast<HWND>(memo->Handle);
    LRESULT start = SendMessageA(h, EM_LINEINDEX, WPARAM(line), 0);
    if (start < 0) return;
    LRESULT len = SendMessageA(h, EM_LINELENGTH, WPARAM(start), 0);
    SendMessageA(h, EM_SETSEL, WPARAM(start), LPARAM(start + len));
    SendMessageA(h, EM_SCROLLCARET, 0, 0);
  }
  int TextWidth(TControl*, const String& text) override {
    // One memory DC with the window font measures every label.
    static HDC dc = [] {
      HDC m = CreateCompatibleDC(nullptr);
      SelectObject(m, FormFont());
      return m;
    }();
    SIZE size{};
    if (Wide()) {
      std::wstring w = Widen(text);
      GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &size);
    } else {
      std::string a = ToAnsi(text);
      GetTextExtentPoint32A(dc, a.c_str(), int(a.size()), &size);
    }
    return int(size.cx);
  }
  void MenuEnabledChanged(TMenuItem* item) override {
    EnableMenuItem(static_cast<HMENU>(item->Handle), UINT(item->Id),
                   MF_BYCOMMAND | (item->Enabled() ? MF_ENABLED : MF_GRAYED));
  }
  void FormMoved(TForm* f) override {
    SetWindowPos(static_cast<HWND>(f->Handle), nullptr, f->Left, f->Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
};

Win32Peer g_peer;

void AppendItems(HMENU menu, TMenuItem* parent) {
  for (auto& item : parent->Items) {
    if (!item->Items.empty()) {
      HMENU sub = CreatePopupMenu();
      AppendItems(sub, item.get());
      if (Wide())
        AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), Widen(item->Caption).c_str());
      else
        AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), ToAnsi(item->Caption).c_str());
      item->Handle = menu;
    } else {
      UINT flags = MF_STRING | (item->Enabled() ? MF_ENABLED : MF_GRAYED);
      if (Wide())
        AppendMenuW(menu, flags, UINT_PTR(item->Id), Widen(item->Caption).c_str());
      else
        AppendMenuA(menu, flags, UINT_PTR(item->Id), ToAnsi(item->Caption).c_str());
      item->Handle = menu;
    }
  }
}

void Paint(TForm* f, HWND h) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  for (const auto& fr : f->Frames) {
    RECT r{fr.Left, fr.Top, fr.Left + fr.Width, fr.Top + fr.Height};
    DrawEdge(dc, &r, fr.Panel ? (BDR_RAISEDINNER | BDR_SUNKENOUTER) : BDR_SUNKENOUTER, BF_RECT);
  }
  EndPaint(h, &ps);
}

bool InFrame(TForm* f, int x, int y) {
  for (const auto& fr : f->Frames)
    if (x >= fr.Left && x < fr.Left + fr.Width && y >= fr.Top && y < fr.Top + fr.Height) return true;
  return false;
}

LRESULT CALLBACK FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  TForm* f = FormOf(h);
  auto def = [&] { return Wide() ? DefWindowProcW(h, msg, wp, lp) : DefWindowProcA(h, msg, wp, lp); };
  if (!f) return def();
  static bool mouseDown = false;
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (lp == 0) {  // a menu item
        if (TMenuItem* item = f->FindMenuItem(id)) item->Click();
        return 0;
      }
      TControl* c = ControlOf(f, reinterpret_cast<HWND>(lp));
      if (!c) c = f->FindControl(id);
      if (c && HIWORD(wp) == BN_CLICKED) {
        if (c->kind == TControl::Button)
          static_cast<TButton*>(c)->Click();
        else if (c->kind == TControl::CheckBox)
          static_cast<TCheckBox*>(c)->SetChecked(SendMessageA(static_cast<HWND>(c->Handle), BM_GETCHECK, 0, 0) ==
                                                 BST_CHECKED);
      }
      return 0;
    }
    case WM_HSCROLL: {
      TControl* c = ControlOf(f, reinterpret_cast<HWND>(lp));
      if (c && c->kind == TControl::TrackBar)
        static_cast<TTrackBar*>(c)->NotifyChange(int(SendMessageA(reinterpret_cast<HWND>(lp), TBM_GETPOS, 0, 0)));
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      TControl* c = ControlOf(f, reinterpret_cast<HWND>(lp));
      HDC dc = reinterpret_cast<HDC>(wp);
      if (c && (c->kind == TControl::Edit || c->kind == TControl::Memo)) {
        SetTextColor(dc, Resolve(c->FontColor()));
        SetBkColor(dc, Resolve(c->Color()));
        return reinterpret_cast<LRESULT>(Brush(Resolve(c->Color())));
      }
      SetTextColor(dc, Resolve(clWindowText));
      SetBkColor(dc, Resolve(f->Color));
      return reinterpret_cast<LRESULT>(Brush(Resolve(f->Color)));
    }
    case WM_DROPFILES: {
      TMessage m{msg, wp, lp, 0};
      try {
        f->Dispatch(m);
      } catch (const Exception& e) {
        Application->ShowException(e);
      }
      return m.Result;
    }
    case WM_LBUTTONDOWN:
      mouseDown = !InFrame(f, short(LOWORD(lp)), short(HIWORD(lp)));
      return 0;
    case WM_LBUTTONUP:
      if (mouseDown) {
        mouseDown = false;
        Fire(f->OnClick, f);
      }
      return 0;
    case WM_PAINT:
      Paint(f, h);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      RECT r;
      GetWindowRect(h, &r);
      f->NativeMoved(r.left, r.top, IsIconic(h) != 0);
      break;
    }
    case WM_SIZE:
      for (TControl* c : f->Controls)
        if (c->kind == TControl::StatusBar) SendMessageA(static_cast<HWND>(c->Handle), WM_SIZE, 0, 0);
      break;
    case WM_CLOSE:
      f->Close();
      if (f->Closed) ShowWindow(h, SW_HIDE);
      return 0;
    case WM_QUERYENDSESSION:
      return f->CloseQuery() ? TRUE : FALSE;
    case WM_ENDSESSION:
      if (wp && f == Application->MainForm) Application->Terminate();
      return 0;
    default:
      break;
  }
  return def();
}

void RegisterFormClass(const String& name) {
  static std::set<String> done;
  if (done.count(name)) return;
  done.insert(name);
  if (Wide()) {
    std::wstring wname = Widen(name);
    WNDCLASSW wc{};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = Instance();
    wc.hIcon = ProgramIcon();
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = wname.c_str();
    RegisterClassW(&wc);
  } else {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FormProc;
    wc.hInstance = Instance();
    wc.hIcon = ProgramIcon();
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassA(&wc);
  }
}

void CreateChild(TForm* f, TControl* c) {
  HWND parent = static_cast<HWND>(f->Handle);
  const bool focusable = c->kind == TControl::Button || c->kind == TControl::CheckBox || c->kind == TControl::Edit ||
                         c->kind == TControl::Memo || c->kind == TControl::TrackBar;
  DWORD style = WS_CHILD | WS_VISIBLE | (focusable ? WS_TABSTOP : 0);
  DWORD ex = 0;
  const char* cls = "STATIC";
  switch (c->kind) {
    case TControl::Button:
      cls = "BUTTON";
      style |= static_cast<TButton*>(c)->Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      break;
    case TControl::CheckBox:
      cls = "BUTTON";
      style |= BS_AUTOCHECKBOX;
      break;
    case TControl::Edit:
      cls = "EDIT";
      ex = WS_EX_CLIENTEDGE;
      style |= ES_AUTOHSCROLL | ES_READONLY;
      break;
    case TControl::Memo:
      cls = "EDIT";
      ex = WS_EX_CLIENTEDGE;
      style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL | WS_VSCROLL | WS_HSCROLL;
      break;
    case TControl::Label:
      style |= SS_NOTIFY | SS_NOPREFIX | (c->RightAligned ? SS_RIGHT : c->WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
      break;
    case TControl::TrackBar:
      cls = "msctls_trackbar32";
      style |= TBS_HORZ | TBS_NOTICKS;
      break;
    case TControl::ProgressBar:
      cls = "msctls_progress32";
      style |= PBS_SMOOTH;  // one bar instead of blocks: far less to redraw ten times a second
      break;
    case TControl::StatusBar:
      cls = "msctls_statusbar32";
      style |= CCS_BOTTOM;
      break;
    case TControl::Image:
      style |= SS_ICON;
      break;
  }
  if (!c->Enabled()) style |= WS_DISABLED;
  if (c->kind == TControl::Label) static_cast<TLabel*>(c)->AdjustSize();  // sized before it is made
  String text = c->kind == TControl::Memo ? static_cast<TMemo*>(c)->Lines.Text()
                : (c->kind == TControl::StatusBar || c->kind == TControl::Image) ? String() : c->Text();
  HWND h = CreateControl(ex, cls, text, style, c->Left, c->Top, c->Width, c->Height, parent, c->Id);
  c->Handle = h;
  if (c->kind != TControl::StatusBar) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(FormFont()), FALSE);
  switch (c->kind) {
    case TControl::TrackBar: {
      auto* t = static_cast<TTrackBar*>(c);
      SendMessageA(h, TBM_SETRANGE, TRUE, MAKELONG(t->Min, t->Max));
      SendMessageA(h, TBM_SETLINESIZE, 0, t->LineSize);
      SendMessageA(h, TBM_SETPAGESIZE, 0, t->PageSize);
      SendMessageA(h, TBM_SETPOS, TRUE, t->Position());
      break;
    }
    case TControl::ProgressBar: {
      auto* p = static_cast<TProgressBar*>(c);
      SendMessageA(h, PBM_SETRANGE, 0, MAKELPARAM(p->Min, p->Max));
      SendMessageA(h, PBM_SETPOS, WPARAM(p->Position()), 0);
      break;
    }
    case TControl::CheckBox:
      g_peer.PositionChanged(c);
      break;
    case TControl::Memo:
      SendMessageA(h, EM_SETLIMITTEXT, 0, 0);  // no 32 K limit: the list takes any number of entries
      break;
    case TControl::StatusBar:
      SendMessageA(h, SB_SIMPLE, TRUE, 0);
      g_peer.TextChanged(c);
      break;
    case TControl::Image:
      SendMessageA(h, STM_SETICON, reinterpret_cast<WPARAM>(ProgramIcon()), 0);
      SetWindowPos(h, nullptr, c->Left, c->Top, c->Width, c->Height, SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    default:
      break;
  }
}

void CreateForm(TForm* f) {
  setPeer(&g_peer);
  RegisterFormClass(f->ClassName);
  DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
  style |= f->Owner ? WS_POPUP : WS_OVERLAPPED;
  if (f->SystemMenu) style |= WS_SYSMENU;
  if (f->MinimizeBox) style |= WS_MINIMIZEBOX;
  DWORD ex = WS_EX_CONTROLPARENT;
  HMENU menu = nullptr;
  if (f->Menu) {
    menu = CreateMenu();
    AppendItems(menu, f->Menu.get());
  }
  RECT r{0, 0, f->ClientWidth, f->ClientHeight};
  AdjustWindowRectEx(&r, style, menu != nullptr, ex);
  f->SetFrame(int(r.right - r.left) - f->ClientWidth, int(r.bottom - r.top) - f->ClientHeight);
  if (f->Centered) {
    f->Left = (GetSystemMetrics(SM_CXSCREEN) - f->Width()) / 2;
    f->Top = (GetSystemMetrics(SM_CYSCREEN) - f->Height()) / 2;
  }
  HWND owner = f->Owner ? static_cast<HWND>(f->Owner->Handle) : nullptr;
  HWND h;
  if (Wide())
    h = CreateWindowExW(ex, Widen(f->ClassName).c_str(), Widen(f->Caption).c_str(), style, f->Left, f->Top,
                        f->Width(), f->Height(), owner, menu, Instance(), nullptr);
  else
    h = CreateWindowExA(ex, f->ClassName.c_str(), ToAnsi(f->Caption).c_str(), style, f->Left, f->Top, f->Width(),
                        f->Height(), owner, menu, Instance(), nullptr);
  f->Handle = h;
  SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(f));
  // Children in tab order first, so that Tab walks them in that order.
  std::vector<TControl*> order(f->Controls.begin(), f->Controls.end());
  std::stable_sort(order.begin(), order.end(), [](TControl* a, TControl* b) {
    int ta = a->TabOrder < 0 ? 1 << 20 : a->TabOrder, tb = b->TabOrder < 0 ? 1 << 20 : b->TabOrder;
    return ta < tb;
  });
  for (TControl* c : order) CreateChild(f, c);
}

void ShowForm(TForm* f) {
  HWND h = static_cast<HWND>(f->Handle);
  if (!h) return;
  if (f->Centered) {
    f->Left = (GetSystemMetrics(SM_CXSCREEN) - f->Width()) / 2;
    f->Top = (GetSystemMetrics(SM_CYSCREEN) - f->Height()) / 2;
    SetWindowPos(h, nullptr, f->Left, f->Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(h, SW_SHOW);
  UpdateWindow(h);
  SetForegroundWindow(h);
  for (TControl* c : f->Controls)
    if (c->TabOrder >= 0 && c->Enabled() && c->kind != TControl::StatusBar) {
      TControl* first = c;
      for (TControl* d : f->Controls)
        if (d->TabOrder >= 0 && d->Enabled() && d->TabOrder < first->TabOrder) first = d;
      SetFocus(static_cast<HWND>(first->Handle));
      break;
    }
}

}  // namespace

void InstallNativeForms() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  // InitCommonControlsEx is newer than Windows 95's first comctl32.
  auto initEx = reinterpret_cast<InitEx>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("comctl32.dll"), "InitCommonControlsEx")));
  if (initEx)
    initEx(&icc);
  else
    InitCommonControls();
  setPeer(&g_peer);
  TApplication::CreateNative = CreateForm;
  TApplication::ShowNative = ShowForm;
}
