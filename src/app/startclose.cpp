// The start and close sequences of the main window.
#include "app/startup.h"
#include "decoder/binding.h"
#include "player/state.h"
#include "ui/form1.h"

void TForm1::FormCreate(TObject*) {
  ReadSettings();  // the settings object lives only for these reads
  auto init = vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_init");
  TrackBar1Change(this);  // the volume goes to the decoder before its initialisation
  DecoderOk = vbmp3::Call(init);
  if (!DecoderOk) StatusBar1->SetSimpleText("VBMP3.DLLの初期化に失敗しました");
  sys::os().DragAcceptFiles(Handle, true);
  IdentifyPlatform();
}

void TForm1::FormCloseQuery(TObject*, bool&) {
  // The close can run more than once (Windows may cancel a log-off after this
  // window agreed to it): the decoder is released and unloaded only the first
  // time, and from then on nothing calls into it.
  if (!DecoderReleased) {
    auto release = vbmp3::Lookup<vbmp3::BoolFn>("vbmp3_free");
    DecoderOk = vbmp3::Call(release);
    DecoderReleased = true;
    if (!DecoderOk) {
      Say("VBMP3.DLLの開放に失敗しました");
      Timer1->SetEnabled(false);
    }
    if (DecoderLib) sys::os().FreeLibrary(DecoderLib);
    Timer1->SetEnabled(false);
    Timer2->SetEnabled(false);
  }
  WriteSettings();
  // The window always closes.
}

void TForm1::Exit1Click(TObject*) { Close(); }
