#include "vcl/vcl.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "os/os.h"

namespace {
PeerOps* g_peer = nullptr;
TApplication g_application;
}  // namespace

TApplication* Application = &g_application;
std::function<void(TForm*)> TApplication::CreateNative;
std::function<void(TForm*)> TApplication::ShowNative;

PeerOps* peer() { return g_peer; }
void setPeer(PeerOps* p) { g_peer = p; }

void Fire(const TNotifyEvent& ev, TObject* sender) {
  if (!ev) return;
  try {
    ev(sender);
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (const std::exception& e) {
    Application->ShowException(Exception(e.what()));
  }
}

// ---- controls -------------------------------------------------------------

TControl::TControl(TForm* owner, Kind k, String name) : kind(k), Name(std::move(name)), Owner(owner) {
  if (k == Edit || k == Memo) color_ = int32_t(0x80000005);  // clWindow
}

void TControl::SetBounds(int l, int t, int w, int h) {
  Left = l, Top = t, Width = w, Height = h;
  if (Handle && peer()) peer()->BoundsChanged(this);
}

void TControl::SetCaption(const String& s) {
  text_ = s;
  if (Handle && peer()) peer()->TextChanged(this);
  if (kind == Label) static_cast<TLabel*>(this)->AdjustSize();
}

void TControl::SetEnabled(bool on) {
  enabled_ = on;
  if (Handle && peer()) peer()->EnabledChanged(this);
}

void TControl::SetColor(TColor c) {
  color_ = c;
  if (Handle && peer()) peer()->ColorsChanged(this);
}

void TControl::SetFontColor(TColor c) {
  fontColor_ = c;
  if (Handle && peer()) peer()->ColorsChanged(this);
}

void TButton::Click() {
  if (enabled_) Fire(OnClick, this);
}

void TCheckBox::SetChecked(bool on) {
  if (on == checked_) return;
  checked_ = on;
  if (Handle && peer()) peer()->PositionChanged(this);
  Fire(OnClick, this);
}

void TStrings::Add(const String& s) {
  lines_.push_back(s);
  if (owner_->Handle && peer()) peer()->LineAdded(owner_, s);
}

void TStrings::Clear() {
  lines_.clear();
  if (owner_->Handle && peer()) peer()->TextChanged(owner_);
}

String TStrings::Text() const {
  String out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i) out += "\r\n";
    out += lines_[i];
  }
  return out;
}

TMemo::TMemo(TForm* owner, String name) : TControl(owner, Memo, std::move(name)), Lines(this) {}

void TMemo::SelectLine(int line) {
  SelectedLine = line;
  if (Handle && peer()) peer()->SelectLine(this, line);
}

namespace {
// Width of a text in the window font when no native control can measure it:
// 6 pixels for a half-width character, 12 for a full-width one.
int NominalTextWidth(const String& s) {
  int w = 0;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = c;
    if (n == 3 && i + 2 < s.size())
      cp = ((c & 0x0F) << 12) | ((uint32_t(s[i + 1]) & 0x3F) << 6) | (uint32_t(s[i + 2]) & 0x3F);
    bool halfWidth = n == 1 || (cp >= 0xFF61 && cp <= 0xFF9F);
    w += halfWidth ? 6 : 12;
    i += n;
  }
  return w;
}
}  // namespace

void TLabel::AdjustSize() {
  if (WordWrap) return;  // a wrapping label keeps its width
  int w = peer() ? peer()->TextWidth(this, text_) : NominalTextWidth(text_);
  if (RightAligned) Left += Width - w;
  Width = w;
  if (Handle && peer()) peer()->BoundsChanged(this);
}

void TTrackBar::SetPosition(int value) {
  value = std::clamp(value, Min, Max);
  if (value == position_) return;
  position_ = value;
  if (Handle && peer()) peer()->PositionChanged(this);
  Fire(OnChange, this);
}

void TTrackBar::NotifyChange(int nativePosition) {
  position_ = std::clamp(nativePosition, Min, Max);
  Fire(OnChange, this);
}

void TProgressBar::SetPosition(int value) {
  value = std::clamp(value, Min, Max);
  if (value == position_) return;  // nothing to redraw
  position_ = value;
  if (Handle && peer()) peer()->PositionChanged(this);
}

TMenuItem* TMenuItem::Add(String name, String caption, int id, bool enabled) {
  Items.emplace_back(new TMenuItem(std::move(name), std::move(caption), id, enabled));
  return Items.back().get();
}

void TMenuItem::SetEnabled(bool on) {
  enabled_ = on;
  if (Handle && peer()) peer()->MenuEnabledChanged(this);
}

void TMenuItem::Click() {
  if (enabled_) Fire(OnClick, this);
}

void TTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (on)
    sys::os().StartTimer(this);
  else
    sys::os().StopTimer(this);
}

void TTimer::Tick() {
  if (enabled_) Fire(OnTimer, this);
}

bool TOpenDialog::Execute(void* owner) { return sys::os().OpenFileDialog(owner, Filter, Title, FileName); }

bool TColorDialog::Execute(void* owner) {
  uint32_t c = uint32_t(Color);
  if (!sys::os().ColorDialog(owner, c)) return false;
  Color = TColor(c);
  return true;
}

// ---- forms ----------------------------------------------------------------

TForm::TForm(TForm* owner) : Owner(owner) {}

TForm::~TForm() {
  for (TTimer* t : Timers) t->SetEnabled(false);
}

void TForm::SetPosition(int left, int top) {
  Left = left, Top = top;
  if (Handle && peer()) peer()->FormMoved(this);
}

void TForm::NativeMoved(int left, int top, bool minimized) {
  if (minimized) return;
  Left = left, Top = top;
}

void TForm::Dispatch(TMessage&) {}

void TForm::DoCreate() { Fire(OnCreate, this); }

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) {
    try {
      OnCloseQuery(this, canClose);
    } catch (const Exception& e) {
      Application->ShowException(e);
      canClose = false;
    }
  }
  return canClose;
}

void TForm::Close() {
  if (!CloseQuery()) return;
  Closed = true;
  Visible = false;
  if (ModalResult == 0) ModalResult = 2;  // cancel, which ends a modal display
  if (this == Application->MainForm) Application->Terminate();
}

int TForm::ShowModal() {
  ModalResult = 0;
  Closed = false;
  return sys::os().ShowModal(this);
}

TControl* TForm::FindControl(int id) const {
  for (TControl* c : Controls)
    if (c->Id == id) return c;
  return nullptr;
}

namespace {
TMenuItem* FindIn(TMenuItem* m, int id) {
  if (!m) return nullptr;
  if (m->Id == id && id != 0) return m;
  for (auto& i : m->Items)
    if (TMenuItem* f = FindIn(i.get(), id)) return f;
  return nullptr;
}
}  // namespace

TMenuItem* TForm::FindMenuItem(int id) const { return FindIn(Menu.get(), id); }

TTimer* TForm::MakeTimer(unsigned interval) {
  auto* t = new TTimer;
  t->Interval = interval;
  owned_.emplace_back(t);
  Timers.push_back(t);
  return t;
}

// ---- application ----------------------------------------------------------

void TApplication::Run() {
  if (!MainForm || Terminated) return;
  MainForm->Visible = true;
  if (ShowNative) ShowNative(MainForm);
  sys::os().RunMessageLoop();
}

void TApplication::Terminate() {
  Terminated = true;
  sys::os().QuitMessageLoop();
}

int TApplication::MessageBox(const String& text, const String& caption, unsigned flags) {
  return sys::os().MessageBox(MainForm ? MainForm->Handle : nullptr, text, caption, flags);
}

void TApplication::ShowException(const Exception& e) {
  sys::os().MessageBox(MainForm ? MainForm->Handle : nullptr, e.Message, Title, MB_OK | MB_ICONSTOP);
}

String TApplication::ExeName() const { return sys::os().ExeName(); }

void TApplication::DestroyForms() {
  forms_.clear();
  MainForm = nullptr;
}

void ShowMessage(const String& text) {
  TForm* f = Application->MainForm;
  sys::os().MessageBox(f ? f->Handle : nullptr, text, Application->Title, MB_OK);
}

// ---- conversions ----------------------------------------------------------

String IntToStr(int64_t v) { return std::to_string(v); }

String ExtractFilePath(const String& path) {
  size_t p = path.find_last_of("\\/:");
  return p == String::npos ? String() : path.substr(0, p + 1);
}

String ExtractFileBaseName(const String& path) {
  String name = path.substr(ExtractFilePath(path).size());
  size_t dot = name.find_last_of('.');
  return dot == String::npos ? name : name.substr(0, dot);
}

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

// Decimal with an optional sign, or hexadecimal after "$" or "0x" (also
// signed); the value must fit 32 bits (hexadecimal up to 8 digits wraps into
// the negative range, as a colour like $80000005 needs).
bool TryStrToInt(const String& s, int& out) {
  size_t i = 0, n = s.size();
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  bool hex = false;
  if (i < n && s[i] == '$') {
    hex = true, ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true, i += 2;
  }
  if (i == n) return false;
  uint64_t v = 0;
  for (; i < n; ++i) {
    int d = hex ? HexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
    if (d < 0) return false;
    v = v * (hex ? 16 : 10) + uint64_t(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  int64_t r;
  if (hex) {
    r = int64_t(int32_t(uint32_t(v)));
  } else {
    if (v > (neg ? 2147483648ull : 2147483647ull)) return false;
    r = int64_t(v);
  }
  out = int(neg ? -r : r);
  return true;
}

int StrToIntDef(const String& s, int def) {
  int v;
  return TryStrToInt(s, v) ? v : def;
}

namespace {
struct ColorName {
  const char* name;
  TColor value;
};
const ColorName kColorNames[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clScrollBar", int32_t(0x80000000)},
    {"clBackground", int32_t(0x80000001)},
    {"clActiveCaption", int32_t(0x80000002)},
    {"clInactiveCaption", int32_t(0x80000003)},
    {"clMenu", int32_t(0x80000004)},
    {"clWindow", int32_t(0x80000005)},
    {"clWindowFrame", int32_t(0x80000006)},
    {"clMenuText", int32_t(0x80000007)},
    {"clWindowText", int32_t(0x80000008)},
    {"clCaptionText", int32_t(0x80000009)},
    {"clActiveBorder", int32_t(0x8000000A)},
    {"clInactiveBorder", int32_t(0x8000000B)},
    {"clAppWorkSpace", int32_t(0x8000000C)},
    {"clHighlight", int32_t(0x8000000D)},
    {"clHighlightText", int32_t(0x8000000E)},
    {"clBtnFace", int32_t(0x8000000F)},
    {"clBtnShadow", int32_t(0x80000010)},
    {"clGrayText", int32_t(0x80000011)},
    {"clBtnText", int32_t(0x80000012)},
    {"clInactiveCaptionText", int32_t(0x80000013)},
    {"clBtnHighlight", int32_t(0x80000014)},
    {"cl3DDkShadow", int32_t(0x80000015)},
    {"cl3DLight", int32_t(0x80000016)},
    {"clInfoText", int32_t(0x80000017)},
    {"clInfoBk", int32_t(0x80000018)},
    {"clNone", 0x1FFFFFFF},
};

bool SameText(const String& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

bool TryStringToColor(const String& s, TColor& out) {
  for (const auto& c : kColorNames)
    if (SameText(s, c.name)) {
      out = c.value;
      return true;
    }
  int v;
  if (!TryStrToInt(s, v)) return false;
  out = v;
  return true;
}

TColor StringToColor(const String& s) {
  TColor c;
  if (!TryStringToColor(s, c)) throw EConvertError("'" + s + "' は整数ではありません");
  return c;
}

String ColorToString(TColor c) {
  for (const auto& n : kColorNames)
    if (n.value == c) return n.name;
  static const char* hex = "0123456789ABCDEF";
  String out = "$";
  for (int shift = 28; shift >= 0; shift -= 4) out += hex[(uint32_t(c) >> shift) & 0xF];
  return out;
}

String TIniFile::ReadString(const String& section, const String& key, const String& def) {
  return sys::os().GetProfileString(section, key, def, FileName);
}

int TIniFile::ReadInteger(const String& section, const String& key, int def) {
  String s = ReadString(section, key, "");
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return StrToIntDef("$" + s.substr(2), def);
  return StrToIntDef(s, def);
}

void TIniFile::WriteString(const String& section, const String& key, const String& value) {
  if (!sys::os().WriteProfileString(section, key, value, FileName))
    throw EIniFileException(FileName + " に書き込めません");
}

void TIniFile::WriteInteger(const String& section, const String& key, int value) {
  WriteString(section, key, IntToStr(value));
}

// ---- UTF-8 / UTF-16 -------------------------------------------------------

std::wstring Widen(const String& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    size_t n;
    if (c < 0x80) cp = c, n = 1;
    else if ((c >> 5) == 6) cp = c & 0x1F, n = 2;
    else if ((c >> 4) == 14) cp = c & 0x0F, n = 3;
    else if ((c >> 3) == 30) cp = c & 0x07, n = 4;
    else { out += wchar_t(0xFFFD); ++i; continue; }
    if (i + n > s.size()) { out += wchar_t(0xFFFD); break; }
    bool bad = false;
    for (size_t k = 1; k < n; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d >> 6) != 2) { bad = true; break; }
      cp = (cp << 6) | (d & 0x3F);
    }
    if (bad) { out += wchar_t(0xFFFD); ++i; continue; }
    i += n;
    if (cp >= 0x10000 && sizeof(wchar_t) == 2) {
      cp -= 0x10000;
      out += wchar_t(0xD800 + (cp >> 10));
      out += wchar_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += wchar_t(cp);
    }
  }
  return out;
}

String Narrow(const std::wstring& w) {
  String out;
  for (size_t i = 0; i < w.size(); ++i) {
    uint32_t cp = uint32_t(w[i]);
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xDC00 && i + 1 < w.size()) {
      uint32_t lo = uint32_t(w[i + 1]);
      if (lo >= 0xDC00 && lo < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | (cp >> 18));
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}
