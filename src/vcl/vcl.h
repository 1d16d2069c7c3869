// A small form and control layer over native Windows controls.
//
// Every control keeps its state in plain members and mirrors it to a native
// window when one exists (its Handle). Without native windows, as in the unit
// tests, the same forms run on plain state. Events from the native controls
// come back through the form to the handlers.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using String = std::string;  // UTF-8
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clBtnFace = int32_t(0x8000000F);
constexpr TColor clWindowText = int32_t(0x80000008);
constexpr TColor clNone = 0x1FFFFFFF;

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

class Exception : public std::exception {
 public:
  explicit Exception(String message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  String Message;
};
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

class TForm;
class TControl;
class TMenuItem;
class TTimer;

// What a native peer must do when a control's state changes. Installed only
// by the Win32 build; null in the unit tests.
class PeerOps {
 public:
  virtual ~PeerOps() = default;
  virtual void TextChanged(TControl* c) = 0;
  virtual void EnabledChanged(TControl* c) = 0;
  virtual void BoundsChanged(TControl* c) = 0;
  virtual void ColorsChanged(TControl* c) = 0;
  virtual void PositionChanged(TControl* c) = 0;  // track bar, progress bar, check box
  virtual void LineAdded(TControl* memo, const String& line) = 0;
  virtual void SelectLine(TControl* memo, int line) = 0;
  virtual int TextWidth(TControl* c, const String& text) = 0;
  virtual void MenuEnabledChanged(TMenuItem* item) = 0;
  virtual void FormMoved(TForm* form) = 0;
};
PeerOps* peer();
void setPeer(PeerOps* p);

// Runs an event handler the way the form's message dispatch does: an
// Exception that escapes it is shown in the application's error box.
void Fire(const TNotifyEvent& ev, TObject* sender);

class TFont {
 public:
  TColor Color = clWindowText;
};

class TControl : public TObject {
 public:
  enum Kind { Button, CheckBox, Edit, Memo, Label, TrackBar, ProgressBar, StatusBar, Image };
  TControl(TForm* owner, Kind kind, String name);

  const Kind kind;
  const String Name;
  TForm* const Owner;
  void* Handle = nullptr;  // native window
  int Id = 0;              // native window identifier
  int TabOrder = -1;       // -1: takes no focus
  bool RightAligned = false;
  bool WordWrap = false;

  int Left = 0, Top = 0, Width = 0, Height = 0;
  void SetBounds(int l, int t, int w, int h);

  const String& Caption() const { return text_; }
  void SetCaption(const String& s);
  const String& Text() const { return text_; }
  void SetText(const String& s) { SetCaption(s); }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);

  TColor Color() const { return color_; }
  void SetColor(TColor c);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor c);

  TNotifyEvent OnClick;
  TNotifyEvent OnChange;

 protected:
  String text_;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  TColor fontColor_ = clWindowText;
};

class TButton : public TControl {
 public:
  TButton(TForm* owner, String name) : TControl(owner, Button, std::move(name)) {}
  bool Default = false;
  int ModalResult = 0;
  void Click();  // as a click by the user: nothing when disabled
};

class TCheckBox : public TControl {
 public:
  TCheckBox(TForm* owner, String name) : TControl(owner, CheckBox, std::move(name)) {}
  bool Checked() const { return checked_; }
  void SetChecked(bool on);  // fires OnClick when the state changes
 private:
  bool checked_ = false;
};

class TEdit : public TControl {
 public:
  TEdit(TForm* owner, String name) : TControl(owner, Edit, std::move(name)) {}
  bool ReadOnly = true;
};

class TStrings {
 public:
  explicit TStrings(TControl* owner) : owner_(owner) {}
  int Count() const { return int(lines_.size()); }
  // A line index outside the list gives an empty text.
  String operator[](int i) const { return i >= 0 && i < Count() ? lines_[size_t(i)] : String(); }
  void Add(const String& s);
  void Clear();
  String Text() const;  // lines joined by CR LF
 private:
  TControl* owner_;
  std::vector<String> lines_;
};

class TMemo : public TControl {
 public:
  TMemo(TForm* owner, String name);
  TStrings Lines;
  bool ReadOnly = true;
  int SelectedLine = -1;
  void SelectLine(int line);  // selects the line and scrolls it into view
};

class TLabel : public TControl {
 public:
  TLabel(TForm* owner, String name) : TControl(owner, Label, std::move(name)) {}
  void AdjustSize();  // width to the text; right-aligned labels keep their right edge
};

class TImage : public TControl {
 public:
  TImage(TForm* owner, String name) : TControl(owner, Image, std::move(name)) {}
};

class TTrackBar : public TControl {
 public:
  TTrackBar(TForm* owner, String name) : TControl(owner, TrackBar, std::move(name)) {}
  int Min = 0, Max = 10, LineSize = 1, PageSize = 2;
  int Position() const { return position_; }
  // Pulls the value into Min..Max; fires OnChange when the position changes.
  void SetPosition(int value);
  // A change notification of the native control (each drag step, key step,
  // click in the channel, end of a drag): takes the position, always fires.
  void NotifyChange(int nativePosition);
 private:
  int position_ = 0;
};

class TProgressBar : public TControl {
 public:
  TProgressBar(TForm* owner, String name) : TControl(owner, ProgressBar, std::move(name)) {}
  int Min = 0, Max = 100;
  int Position() const { return position_; }
  void SetPosition(int value);  // shown within Min..Max
 private:
  int position_ = 0;
};

class TStatusBar : public TControl {
 public:
  TStatusBar(TForm* owner, String name) : TControl(owner, StatusBar, std::move(name)) {}
  bool SimplePanel = false;
  const String& SimpleText() const { return text_; }
  void SetSimpleText(const String& s) { SetCaption(s); }
};

class TMenuItem : public TObject {
 public:
  TMenuItem(String name, String caption, int id, bool enabled = true)
      : Name(std::move(name)), Caption(std::move(caption)), Id(id), enabled_(enabled) {}
  const String Name;
  const String Caption;
  const int Id;
  void* Handle = nullptr;  // native menu holding the item
  std::vector<std::unique_ptr<TMenuItem>> Items;
  TMenuItem* Add(String name, String caption, int id, bool enabled = true);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  void Click();  // as a choice by the user: nothing when disabled
  TNotifyEvent OnClick;
 private:
  bool enabled_;
};

class TTimer : public TObject {
 public:
  unsigned Interval = 1000;
  bool Enabled() const { return enabled_; }
  // Enabling an enabled timer changes nothing: its period is not restarted.
  void SetEnabled(bool on);
  TNotifyEvent OnTimer;
  void Tick();  // a tick of the running timer
  int NativeId = 0;
 private:
  bool enabled_ = false;
};

class TOpenDialog : public TObject {
 public:
  String Filter, Title, FileName;
  bool Execute(void* owner);
};

class TColorDialog : public TObject {
 public:
  TColor Color = clBlack;
  bool Execute(void* owner);
};

struct TMessage {
  unsigned Msg;
  uintptr_t WParam;
  intptr_t LParam;
  intptr_t Result;
};

class TForm : public TObject {
 public:
  explicit TForm(TForm* owner = nullptr);
  ~TForm() override;

  String ClassName;  // native window class
  String Caption;
  void* Handle = nullptr;
  TForm* Owner;
  int Left = 0, Top = 0;
  int ClientWidth = 0, ClientHeight = 0;
  // Outer size: the client area plus border, caption and menu bar.
  int Width() const { return ClientWidth + frameWidth_; }
  int Height() const { return ClientHeight + frameHeight_; }
  void SetFrame(int w, int h) { frameWidth_ = w; frameHeight_ = h; }
  bool SystemMenu = true, MinimizeBox = true, Centered = false;
  TColor Color = clBtnFace;
  bool Visible = false;
  int ModalResult = 0;

  // Frames drawn on the form: a sunken bevel, or a panel with a raised inner
  // and a lowered outer edge.
  struct Frame {
    int Left, Top, Width, Height;
    bool Panel;
  };
  std::vector<Frame> Frames;
  std::vector<TControl*> Controls;  // children in creation order
  std::unique_ptr<TMenuItem> Menu;
  std::vector<TTimer*> Timers;
  std::vector<std::unique_ptr<TObject>> Components;  // owned components (e.g. About boxes)

  TNotifyEvent OnCreate;
  std::function<void(TObject*, bool& canClose)> OnCloseQuery;
  TNotifyEvent OnClick;

  void SetPosition(int left, int top);
  // The native window moved: minimised positions are not taken, so Left and
  // Top stay the restored position.
  void NativeMoved(int left, int top, bool minimized);

  virtual void Dispatch(TMessage& msg);
  void DoCreate();      // runs OnCreate; an escaping Exception goes to the error box
  bool CloseQuery();    // runs OnCloseQuery
  void Close();         // close query, then hides the form (ends the program for the main form)
  int ShowModal();
  bool Closed = false;

  TControl* FindControl(int id) const;
  TMenuItem* FindMenuItem(int id) const;
  template <class T>
  T* Make(String name, int id, int l, int t, int w, int h) {
    auto* c = new T(this, std::move(name));
    c->Id = id;
    c->Left = l, c->Top = t, c->Width = w, c->Height = h;
    owned_.emplace_back(c);
    Controls.push_back(c);
    return c;
  }
  TTimer* MakeTimer(unsigned interval);

 private:
  int frameWidth_ = 0, frameHeight_ = 0;
  std::vector<std::unique_ptr<TObject>> owned_;
};

class TApplication : public TObject {
 public:
  void Initialize() {}
  template <class T>
  void CreateForm(T*& ref) {
    ref = new T(nullptr);
    forms_.emplace_back(ref);
    if (!MainForm) MainForm = ref;
    if (CreateNative) CreateNative(ref);
    ref->DoCreate();
  }
  void Run();
  void Terminate();
  int MessageBox(const String& text, const String& caption, unsigned flags);
  void ShowException(const Exception& e);
  String ExeName() const;
  String Title;
  TForm* MainForm = nullptr;
  bool Terminated = false;
  void DestroyForms();
  // Creates the native windows of a form, when the Win32 build provides them.
  static std::function<void(TForm*)> CreateNative;
  static std::function<void(TForm*)> ShowNative;
 private:
  std::vector<std::unique_ptr<TForm>> forms_;
};

extern TApplication* Application;

void ShowMessage(const String& text);

// Conversions
String IntToStr(int64_t v);
String ExtractFilePath(const String& path);
String ExtractFileBaseName(const String& path);
// Integer text as the settings file holds it; `ok` false for anything else.
int StrToIntDef(const String& s, int def);
bool TryStrToInt(const String& s, int& out);
TColor StringToColor(const String& s);  // EConvertError for a text that is no colour
bool TryStringToColor(const String& s, TColor& out);
String ColorToString(TColor c);

class TIniFile {
 public:
  explicit TIniFile(String fileName) : FileName(std::move(fileName)) {}
  String ReadString(const String& section, const String& key, const String& def);
  int ReadInteger(const String& section, const String& key, int def);
  void WriteString(const String& section, const String& key, const String& value);  // EIniFileException
  void WriteInteger(const String& section, const String& key, int value);
  const String FileName;
};

// UTF-8 <-> UTF-16 for the native controls.
std::wstring Widen(const String& s);
String Narrow(const std::wstring& w);
