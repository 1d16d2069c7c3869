// Play, Stop, Pause, Restart, Previous and Next.
#include "player/state.h"
#include "ui/form1.h"

void TForm1::Button1Click(TObject* sender) {
  Timer1->SetEnabled(true);
  const bool played = vbmp3::Call(vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_play"));
  DecoderOk = played;
  Button1->SetEnabled(false);
  Button4->SetEnabled(false);
  if (!DecoderOk) {
    Say("MP3の再生に失敗しました、ファイルが見つからないかMP3ファイルではありません");
    Button2Click(sender);
    Button4->SetEnabled(true);
    Button1->SetEnabled(true);
    Timer1->SetEnabled(false);
  }
  if (played) {
    sys::os().DragAcceptFiles(Handle, false);
    sys::os().KeepAwake(true);
  }
}

void TForm1::ClearTrackFields() {
  for (int n = 1; n <= 6; ++n) InfoEdit(n)->SetText("");
  Label10->SetCaption("0秒");
}

void TForm1::ShowStopped() {
  Button4->SetEnabled(true);
  Button1->SetEnabled(true);
  Button6->SetEnabled(false);
  Button7->SetEnabled(false);
  Timer1->SetEnabled(false);
  StatusBar1->SetSimpleText("終了しました");
  sys::os().KeepAwake(false);
}

void TForm1::Button2Click(TObject* sender) {
  OFFF1Click(sender);
  OFFF1->SetEnabled(false);
  ONOFF1->SetEnabled(false);
  DecoderOk = vbmp3::Call(vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_stop"));
  if (!DecoderOk) Say("MP3の停止に失敗しました");
  ClearTrackFields();
  SetSpectrumBars(0);
  ShowStopped();
  sys::os().DragAcceptFiles(Handle, true);
}

void TForm1::Button3Click(TObject*) {
  Button6->SetEnabled(false);
  Button7->SetEnabled(false);
  DecoderOk = vbmp3::Call(vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_pause"));
  if (!DecoderOk) Say("一時停止に失敗しました");
  Button5->SetEnabled(true);
}

void TForm1::Button5Click(TObject*) {
  Button6->SetEnabled(true);
  Button7->SetEnabled(true);
  if (TrackCount <= 1) {
    Button7->SetEnabled(false);
    Button6->SetEnabled(false);
  }
  DecoderOk = vbmp3::Call(vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_restart"));
  if (!DecoderOk) Say("再生に失敗しました");
  Button5->SetEnabled(false);
}

void TForm1::Button6Click(TObject*) { StepTrack(-1); }
void TForm1::Button7Click(TObject*) { StepTrack(+1); }

void TForm1::StepTrack(int direction) {
  OFFF1Click(this);
  auto open = vbmp3::Lookup<vbmp3::OpenFn>("vbmp3_open");
  auto stop = vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_stop");
  auto close = vbmp3::Lookup<vbmp3::CloseFn>("vbmp3_close");
  vbmp3::Call(stop);
  vbmp3::Call(close);
  TrackIndex += direction;
  const bool outside = direction < 0 ? TrackIndex < 0 : TrackIndex >= TrackCount;
  if (outside) {
    vbmp3::Call(stop);
    (direction < 0 ? Button6 : Button7)->SetEnabled(false);
    return;
  }
  LoadEntry(5, open);
  Button1Click(this);
}
