// The main window: every control of the player and all of its handlers.
#pragma once
#include "decoder/binding.h"
#include "vcl/vcl.h"

class TAboutBox;

class TForm1 : public TForm {
 public:
  explicit TForm1(TForm* owner);

  TButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7;
  TCheckBox* CheckBox1;
  TEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6;
  TLabel* Label[24];  // Label[1] .. Label[23]
  TLabel *Label6, *Label10, *Label13, *Label23;
  TProgressBar* ProgressBar[9];  // ProgressBar[1] .. ProgressBar[8]
  TTrackBar* TrackBar1;
  TMemo* Memo1;
  TStatusBar* StatusBar1;

  TMenuItem *M1, *Exit1, *e1, *Exit2, *ONOFF1, *OFFF1, *Tool1, *M2, *B1, *WindowsS1, *Help1, *About1;
  TOpenDialog OpenDialog1;
  TColorDialog ColorDialog1;
  TTimer *Timer1, *Timer2;

  // Start and close
  void FormCreate(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void Exit1Click(TObject* sender);
  void About1Click(TObject* sender);

  // Status line and platform
  void ShowStatus(const String& text);
  void FormClick(TObject* sender);
  void IdentifyPlatform();

  // Settings and colours
  void ReadSettings();
  void WriteSettings();
  void M2Click(TObject* sender);
  void B1Click(TObject* sender);

  // Playback
  void LoadTrack(const String& path, int stopLead);
  void Button4Click(TObject* sender);
  void Dispatch(TMessage& msg) override;
  void WMDropFiles(TMessage& msg);
  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void Button3Click(TObject* sender);
  void Button5Click(TObject* sender);
  void Button6Click(TObject* sender);
  void Button7Click(TObject* sender);
  void Timer1Timer(TObject* sender);
  void Exit2Click(TObject* sender);

  // Spectrum and volume
  void Timer2Timer(TObject* sender);
  void ONOFF1Click(TObject* sender);
  void OFFF1Click(TObject* sender);
  void TrackBar1Change(TObject* sender);

  // Shutdown
  void CheckBox1Click(TObject* sender);
  void WindowsS1Click(TObject* sender);
  void SetPrivilege(const char* privilege, const String& system, bool enable);

  TEdit* InfoEdit(int n) const;  // Edit1 .. Edit6
  void SetSpectrumBars(int value);

 private:
  // A message box of the player. While it is open with the monitor running,
  // the monitor's nested ticks do nothing.
  void Say(const String& text);
  void StepTrack(int direction);  // Previous (-1) and Next (+1)
  // LoadTrack with an entry point its caller has already looked up.
  void LoadTrackWith(const String& path, int stopLead, vbmp3::OpenFn open);
  // Loads line TrackIndex of the playlist, showing which entry it is.
  void LoadEntry(int stopLead, vbmp3::OpenFn open);
  void ClearTrackFields();
  // Play and File Open back, Previous and Next off, the monitor stopped,
  // "終了しました": where Stop and the end of playback meet.
  void ShowStopped();
  int monitorHeld_ = 0;
  bool spectrumBoxOpen_ = false;
};

extern TForm1* Form1;
