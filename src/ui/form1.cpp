#include "ui/form1.h"

#include "app/startup.h"
#include "ui/control_ids.h"

TForm1* Form1 = nullptr;

namespace {
struct LabelSpec {
  int n, left, top, width;
  const char* caption;
  bool rightAligned;
};
const LabelSpec kLabels[] = {
    {1, 8, 114, 24, "曲名", false},
    {2, 8, 145, 73, "アーティスト名", false},
    {3, 8, 175, 66, "チャンネル数", false},
    {4, 8, 206, 57, "ビットレート", false},
    {5, 8, 236, 93, "サンプリングレート", false},
    {6, 80, 280, 18, "0秒", true},
    {7, 8, 84, 53, "ファイル名", false},
    {8, 8, 280, 48, "経過時間", false},
    {9, 104, 280, 70, "/ 総演奏時間", false},
    {10, 208, 280, 18, "0秒", true},
    {11, 8, 302, 38, "Volume", false},
    {12, 8, 336, 76, "演奏一覧リスト", false},
    {13, 573, 320, 12, "曲", true},
    {14, 280, 90, 28, "L 150", false},
    {15, 280, 119, 28, "L 100", false},
    {16, 280, 147, 22, "L 50", false},
    {17, 280, 176, 16, "L 0", false},
    {18, 280, 204, 18, "R 0", false},
    {19, 280, 233, 24, "R 50", false},
    {20, 280, 261, 30, "R 100", false},
    {21, 280, 290, 30, "R 150", false},
    {22, 8, 264, 110, "スペクトラム停止時間", false},
    {23, 208, 264, 18, "0秒", true},
};
const int kBarTops[9] = {0, 88, 117, 145, 174, 202, 231, 259, 288};
}  // namespace

TForm1::TForm1(TForm* owner) : TForm(owner) {
  ClassName = "TForm1";
  Caption = "Vantrel";
  ClientWidth = 602;
  ClientHeight = 470;
  SetFrame(6, 44);  // classic fixed border, caption and one menu row; the native window measures its own
  Left = 241, Top = 159;
  SystemMenu = true, MinimizeBox = true;
  Color = clBtnFace;

  auto button = [&](int n, int left, const char* caption, bool enabled, int tab) {
    TButton* b = Make<TButton>("Button" + IntToStr(n), ids::Button(n), left, 24, 57, 25);
    b->SetCaption(caption);
    b->SetEnabled(enabled);
    b->TabOrder = tab;
    return b;
  };
  Button1 = button(1, 8, "再生", true, 1);
  Button2 = button(2, 78, "停止", true, 2);
  Button3 = button(3, 149, "一時停止", false, 13);
  Button5 = button(5, 219, "再ｽﾀｰﾄ", false, 14);
  Button6 = button(6, 290, "前のﾄﾗｯｸ", false, 15);
  Button7 = button(7, 360, "次のﾄﾗｯｸ", false, 16);
  Button4 = Make<TButton>("Button4", ids::Button(4), 8, 360, 75, 25);
  Button4->SetCaption("File Open");
  Button4->TabOrder = 3;

  CheckBox1 = Make<TCheckBox>("CheckBox1", ids::CheckBox1, 8, 56, 241, 17);
  CheckBox1->SetCaption("再生終了時にWindowsをシャットダウンする");
  CheckBox1->TabOrder = 12;

  struct EditSpec {
    int n, top, width, tab;
  };
  const EditSpec edits[] = {{6, 80, 161, 9},  {1, 110, 161, 4}, {2, 141, 161, 5},
                            {3, 171, 73, 6},  {4, 202, 73, 7},  {5, 232, 73, 8}};
  TEdit* editByNumber[7] = {};
  for (const auto& e : edits) {
    TEdit* ed = Make<TEdit>("Edit" + IntToStr(e.n), ids::Edit(e.n), 104, e.top, e.width, 20);
    ed->TabOrder = e.tab;
    editByNumber[e.n] = ed;
  }
  Edit1 = editByNumber[1], Edit2 = editByNumber[2], Edit3 = editByNumber[3];
  Edit4 = editByNumber[4], Edit5 = editByNumber[5], Edit6 = editByNumber[6];

  Label[0] = nullptr;
  for (const auto& l : kLabels) {
    TLabel* lab = Make<TLabel>("Label" + IntToStr(l.n), ids::Label(l.n), l.left, l.top, l.width, 12);
    lab->RightAligned = l.rightAligned;
    lab->SetCaption(l.caption);
    Label[l.n] = lab;
  }
  Label6 = Label[6], Label10 = Label[10], Label13 = Label[13], Label23 = Label[23];

  TrackBar1 = Make<TTrackBar>("TrackBar1", ids::TrackBar1, 64, 296, 150, 25);
  TrackBar1->Min = 0, TrackBar1->Max = 100, TrackBar1->LineSize = 10, TrackBar1->PageSize = 2;
  TrackBar1->SetPosition(50);
  TrackBar1->TabOrder = 10;

  Frames.push_back({272, 80, 313, 233, false});  // Bevel1 around the spectrum display
  ProgressBar[0] = nullptr;
  for (int n = 1; n <= 8; ++n) {
    ProgressBar[n] = Make<TProgressBar>("ProgressBar" + IntToStr(n), ids::ProgressBar(n), 320, kBarTops[n], 249, 16);
    ProgressBar[n]->TabOrder = 16 + n;
  }

  Memo1 = Make<TMemo>("Memo1", ids::Memo1, 112, 336, 473, 97);
  Memo1->TabOrder = 11;

  StatusBar1 = Make<TStatusBar>("StatusBar1", ids::StatusBar1, 0, 445, 602, 25);

  Menu.reset(new TMenuItem("MainMenu1", "", 0));
  M1 = Menu->Add("M1", "メインメニュー(&M)", 0);
  Exit1 = M1->Add("Exit1", "終了(&E)", ids::Exit1);
  e1 = Menu->Add("e1", "演奏(&E)", 0);
  Exit2 = e1->Add("Exit2", "シャットダウン付き演奏終了(&S)", ids::Exit2, false);
  ONOFF1 = e1->Add("ONOFF1", "スペクトラムON(&O)", ids::ONOFF1, false);
  OFFF1 = e1->Add("OFFF1", "スペクトラムOFF(&F)", ids::OFFF1, false);
  Tool1 = Menu->Add("Tool1", "ツール(&T)", 0);
  M2 = Tool1->Add("M2", "文字色(&M)", ids::M2);
  B1 = Tool1->Add("B1", "背景色(&B)", ids::B1);
  WindowsS1 = Tool1->Add("WindowsS1", "Windowsの終了(&S)", ids::WindowsS1, false);
  Help1 = Menu->Add("Help1", "ヘルプ(&H)", 0);
  About1 = Help1->Add("About1", "バージョン情報(&I)", ids::About1);

  OpenDialog1.Filter = "MP3ファイル(*.MP3)|*.MP3";
  OpenDialog1.Title = "演奏するMP3ファイルを選んで下さい";
  ColorDialog1.Color = clBlack;

  Timer1 = MakeTimer(1000);
  Timer2 = MakeTimer(100);

  // Events
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnCloseQuery = [this](TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
  OnClick = [this](TObject* s) { FormClick(s); };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  Button3->OnClick = [this](TObject* s) { Button3Click(s); };
  Button4->OnClick = [this](TObject* s) { Button4Click(s); };
  Button5->OnClick = [this](TObject* s) { Button5Click(s); };
  Button6->OnClick = [this](TObject* s) { Button6Click(s); };
  Button7->OnClick = [this](TObject* s) { Button7Click(s); };
  CheckBox1->OnClick = [this](TObject* s) { CheckBox1Click(s); };
  TrackBar1->OnChange = [this](TObject* s) { TrackBar1Change(s); };
  Exit1->OnClick = [this](TObject* s) { Exit1Click(s); };
  Exit2->OnClick = [this](TObject* s) { Exit2Click(s); };
  ONOFF1->OnClick = [this](TObject* s) { ONOFF1Click(s); };
  OFFF1->OnClick = [this](TObject* s) { OFFF1Click(s); };
  M2->OnClick = [this](TObject* s) { M2Click(s); };
  B1->OnClick = [this](TObject* s) { B1Click(s); };
  WindowsS1->OnClick = [this](TObject* s) { WindowsS1Click(s); };
  About1->OnClick = [this](TObject* s) { About1Click(s); };
  Timer1->OnTimer = [this](TObject* s) { Timer1Timer(s); };
  Timer2->OnTimer = [this](TObject* s) { Timer2Timer(s); };

  // Construction steps
  StatusBar1->SimplePanel = true;
  ProgramDir = ExtractFilePath(Application->ExeName());
  sys::os().SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

TEdit* TForm1::InfoEdit(int n) const {
  TEdit* e[] = {nullptr, Edit1, Edit2, Edit3, Edit4, Edit5, Edit6};
  return e[n];
}

void TForm1::SetSpectrumBars(int value) {
  for (int n = 1; n <= 8; ++n) ProgressBar[n]->SetPosition(value);
}

void TForm1::Say(const String& text) {
  bool hold = Timer1->Enabled();
  if (hold) ++monitorHeld_;
  ShowMessage(text);
  if (hold) --monitorHeld_;
}
