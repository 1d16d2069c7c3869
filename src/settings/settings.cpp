#include <array>

// The settings file beside the executable and the two colour commands.
#include "app/startup.h"
#include "ui/form1.h"

namespace {
const char* const kSection = "Sect1";

String SettingsPath() { return ProgramDir + "vantrel_mp3.ini"; }

// The controls whose colours the settings and the colour commands set, in order.
std::array<TControl*, 7> Coloured(TForm1* f) {
  return {f->Memo1, f->Edit1, f->Edit2, f->Edit3, f->Edit4, f->Edit5, f->Edit6};
}
}  // namespace

void TForm1::ReadSettings() {
  TIniFile ini(SettingsPath());
  const int screenW = sys::os().ScreenWidth(), screenH = sys::os().ScreenHeight();
  // Integer division truncates toward zero, so a window wider than the screen
  // gets a negative default.
  int left = ini.ReadInteger(kSection, "y", (screenW - Width()) / 2);
  SetPosition(left, Top);
  int top = ini.ReadInteger(kSection, "x", (screenH - Height()) / 2);
  SetPosition(Left, top);

  // A colour text that is no colour is reported once for its key; that key's
  // default applies and the start goes on.
  bool reported[2] = {false, false};
  auto readColour = [&](int k, const char* key, const char* def) {
    String text = ini.ReadString(kSection, key, def);
    TColor c;
    if (TryStringToColor(text, c)) return c;
    if (!reported[k]) {
      reported[k] = true;
      Application->ShowException(EConvertError("'" + text + "' は整数ではありません"));
    }
    return StringToColor(def);
  };
  for (TControl* c : Coloured(this)) {
    c->SetFontColor(readColour(0, "FC", "16776960"));
    c->SetColor(readColour(1, "BC", "0"));
  }

  TrackBar1->SetPosition(ini.ReadInteger(kSection, "TR", 50));
}

void TForm1::WriteSettings() {
  TIniFile ini(SettingsPath());
  try {
    ini.WriteInteger(kSection, "y", Left);
    ini.WriteInteger(kSection, "x", Top);
    ini.WriteInteger(kSection, "TR", TrackBar1->Position());
    ini.WriteString(kSection, "FC", ColorToString(Memo1->FontColor()));
    ini.WriteString(kSection, "BC", ColorToString(Memo1->Color()));
  } catch (const EIniFileException& e) {
    // Reported once; the values after it are not written and the window
    // closes all the same.
    Application->ShowException(e);
  }
}

void TForm1::M2Click(TObject*) {
  if (!ColorDialog1.Execute(Handle)) return;
  for (TControl* c : Coloured(this)) c->SetFontColor(ColorDialog1.Color);
}

void TForm1::B1Click(TObject*) {
  if (!ColorDialog1.Execute(Handle)) return;
  for (TControl* c : Coloured(this)) c->SetColor(ColorDialog1.Color);
}
