// Loading a track into the decoder and showing what it reports.
#include <cstring>

#include "player/state.h"
#include "ui/form1.h"

namespace {
// A text field of the record, read up to its first NUL and never beyond its size.
String FieldText(const char* field, size_t size) {
  size_t n = 0;
  while (n < size && field[n]) ++n;
  return sys::os().AnsiToUtf8(std::string(field, n));
}

String Seconds(int32_t s) { return IntToStr(s) + "秒"; }
}  // namespace

void TForm1::LoadTrack(const String& path, int stopLead) {
  LoadTrackWith(path, stopLead, vbmp3::Lookup<vbmp3::OpenFn>("vbmp3_open"));
}

void TForm1::LoadTrackWith(const String& path, int stopLead, vbmp3::OpenFn open) {
  CurrentFileName = path;
  Edit6->SetText(CurrentFileName);
  FileNameBuffer = sys::os().Utf8ToAnsi(Edit6->Text());  // the whole path, however long
  TrackInfo info;
  std::memset(&info, 0, sizeof info);  // a failed open shows empty texts and zeros
  DecoderOk = vbmp3::Call(open, FileNameBuffer.c_str(), &info);
  if (!DecoderOk) std::memset(&info, 0, sizeof info);  // nor what the library left there
  Edit1->SetText(FieldText(info.Title, sizeof info.Title));
  Edit2->SetText(FieldText(info.Artist, sizeof info.Artist));
  Edit3->SetText(IntToStr(info.Channels));
  Edit4->SetText(IntToStr(info.BitRate));
  Edit5->SetText(IntToStr(info.SamplingRate));
  TotalSeconds = info.Seconds;
  Label10->SetCaption(Seconds(TotalSeconds));
  SpectrumStopSeconds = int32_t(int64_t(TotalSeconds) - stopLead);
  Label23->SetCaption(Seconds(SpectrumStopSeconds));
  if (!DecoderOk) Say("ファイルのオープンに失敗しました");
}

void TForm1::LoadEntry(int stopLead, vbmp3::OpenFn open) {
  if (TrackIndex >= 0 && TrackIndex < Memo1->Lines.Count()) Memo1->SelectLine(TrackIndex);
  LoadTrackWith(Memo1->Lines[TrackIndex], stopLead, open);
}
