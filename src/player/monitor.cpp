// The once-a-second playback monitor and the end of playback.
#include "player/state.h"
#include "ui/form1.h"

void TForm1::Timer1Timer(TObject* sender) {
  // Held off while one of the player's message boxes is open with the monitor
  // running, and silent once the decoder has been released.
  if (monitorHeld_ || DecoderReleased) return;
  auto close = vbmp3::Lookup<vbmp3::CloseFn>("vbmp3_close");
  auto getState = vbmp3::Lookup<vbmp3::GetStateFn>("vbmp3_getState");
  auto open = vbmp3::Lookup<vbmp3::OpenFn>("vbmp3_open");
  PlayState = vbmp3::Call(getState, &PlaySeconds);
  switch (PlayState) {
    case 0:
      StatusBar1->SetSimpleText("停止中");
      OFFF1->SetEnabled(false);
      ONOFF1->SetEnabled(false);
      Button4->SetEnabled(true);
      Button1->SetEnabled(true);
      vbmp3::Call(close);
      sys::os().DragAcceptFiles(Handle, true);
      ++TrackIndex;
      if (TrackIndex < TrackCount) {
        LoadEntry(10, open);
        Button1Click(sender);
      } else {
        Exit2Click(sender);
        Timer1->SetEnabled(false);
      }
      break;
    case 1:
      StatusBar1->SetSimpleText("再生中");
      Button3->SetEnabled(true);
      OFFF1->SetEnabled(true);
      ONOFF1->SetEnabled(true);
      break;
    case 2:
      StatusBar1->SetSimpleText("一時停止中");
      break;
    default:
      StatusBar1->SetSimpleText("不明");
      break;
  }
  Label6->SetCaption(IntToStr(PlaySeconds) + "秒");
  if (PlaySeconds == 1) ONOFF1Click(sender);
  if (PlaySeconds >= SpectrumStopSeconds) OFFF1Click(sender);
}

void TForm1::Exit2Click(TObject* sender) {
  DecoderOk = vbmp3::Call(vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_stop"));
  if (!DecoderOk) Say("MP3の停止に失敗しました");
  ClearTrackFields();
  ShowStopped();
  if (CheckBox1->Checked()) WindowsS1Click(sender);
}
