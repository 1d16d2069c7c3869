// The eight-bar spectrum display.
#include "decoder/binding.h"
#include "ui/form1.h"

void TForm1::Timer2Timer(TObject*) {
  // A tick during an earlier tick's error box shows nothing more and calls
  // nothing; no tick calls the decoder once it has been released.
  if (spectrumBoxOpen_ || DecoderReleased) return;
  auto getSpectrum = vbmp3::Lookup<vbmp3::GetSpectrumFn>("vbmp3_getSpectrum");
  const int32_t result = vbmp3::Call(getSpectrum, SpectrumLeft, SpectrumRight);
  if (result == 0) {
    spectrumBoxOpen_ = true;
    Say("スペクトラムエラー");
    spectrumBoxOpen_ = false;
  }
  // Top to bottom: the left channel from its highest shown band down to its
  // lowest, then the right channel from its lowest up.
  ProgressBar[1]->SetPosition(SpectrumLeft[150]);
  ProgressBar[2]->SetPosition(SpectrumLeft[100]);
  ProgressBar[3]->SetPosition(SpectrumLeft[50]);
  ProgressBar[4]->SetPosition(SpectrumLeft[0]);
  ProgressBar[5]->SetPosition(SpectrumRight[0]);
  ProgressBar[6]->SetPosition(SpectrumRight[50]);
  ProgressBar[7]->SetPosition(SpectrumRight[100]);
  ProgressBar[8]->SetPosition(SpectrumRight[150]);
  // A failing library gives one box per switch-on, not one every 100 ms.
  if (result == 0) Timer2->SetEnabled(false);
}

void TForm1::ONOFF1Click(TObject*) { Timer2->SetEnabled(true); }

void TForm1::OFFF1Click(TObject*) {
  SetSpectrumBars(0);
  Timer2->SetEnabled(false);
}
