// Tracks reach the player through the open dialog or dropped from the shell.
#include <vector>

#include "player/state.h"
#include "ui/form1.h"

void TForm1::Button4Click(TObject*) {
  if (!OpenDialog1.Execute(Handle)) return;
  LoadTrack(OpenDialog1.FileName, 10);
}

void TForm1::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_DROPFILES)
    WMDropFiles(msg);
  else
    TForm::Dispatch(msg);
}

void TForm1::WMDropFiles(TMessage& msg) {
  sys::Os& os = sys::os();
  auto drop = reinterpret_cast<sys::Handle>(msg.WParam);
  Button6->SetEnabled(true);
  Button7->SetEnabled(true);
  vbmp3::Call(vbmp3::Lookup<vbmp3::CloseFn>("vbmp3_close"));
  TrackCount = int32_t(os.DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0));
  Label13->SetCaption(IntToStr(TrackCount) + "曲");
  Memo1->Lines.Clear();
  std::vector<char> name;
  for (int32_t i = 0; i < TrackCount; ++i) {
    // Each name is fetched whole: a cut path could name another file.
    UINT length = os.DragQueryFileA(drop, UINT(i), nullptr, 0);
    name.assign(size_t(length) + 1, '\0');
    UINT got = os.DragQueryFileA(drop, UINT(i), name.data(), length + 1);
    if (got > length) got = length;
    Memo1->Lines.Add(os.AnsiToUtf8(std::string(name.data(), got)));
  }
  if (TrackCount == 1) Button7->SetEnabled(false);
  TrackIndex = 0;  // a new list starts at its first entry
  LoadEntry(5, vbmp3::Lookup<vbmp3::OpenFn>("vbmp3_open"));
  os.DragFinish(drop);
}
