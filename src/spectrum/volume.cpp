// The volume control.
#include "spectrum/volume.h"

#include "player/state.h"
#include "ui/form1.h"

int32_t Volume = 0;

void TForm1::TrackBar1Change(TObject*) {
  auto setVolume = vbmp3::Lookup<vbmp3::SetVolumeFn>("vbmp3_setVolume");
  Volume = TrackBar1->Position();
  DecoderOk = vbmp3::Call(setVolume, Volume, Volume);
  if (!DecoderOk) StatusBar1->SetSimpleText("音量の調整に失敗しました");
}
