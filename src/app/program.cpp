#include <cstring>

#include "app/startup.h"
#include "decoder/binding.h"
#include "player/state.h"
#include "spectrum/volume.h"
#include "ui/about.h"
#include "ui/form1.h"
#include "ui/platform.h"

sys::Handle BootMutex = nullptr;
std::string ProgramDir;

void InitUnit1() {
  CurrentFileName.clear();
  ProgramDir.clear();
  DecoderLib = sys::os().LoadLibraryA("vbmp3.dll");
}

int ProgramMain() {
  InitUnit1();
  BootMutex = sys::os().CreateMutexA("vantrel_boot");
  DWORD error = sys::os().GetLastError();
  if (!BootMutex) return -1;
  if (error == ERROR_ALREADY_EXISTS) {
    sys::os().ReleaseMutex(BootMutex);
    Application->MessageBox("すでに同じプログラムが起動しています", "Vantrel", MB_OK | MB_ICONSTOP);
    return -1;
  }
  try {
    Application->Initialize();
    if (Application->Title.empty()) Application->Title = ExtractFileBaseName(Application->ExeName());
    if (!DecoderLib)
      Application->MessageBox("VBMP3.DLLが見つかりません。演奏はできません", "Vantrel", MB_OK | MB_ICONWARNING);
    Application->CreateForm(Form1);
    Application->Run();
    sys::os().ReleaseMutex(BootMutex);
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  return 0;
}

void ResetProgramState() {
  Application->DestroyForms();
  Application->Terminated = false;
  Application->Title.clear();
  Form1 = nullptr;
  AboutBox = nullptr;
  DecoderLib = nullptr;
  DecoderReleased = false;
  BootMutex = nullptr;
  ProgramDir.clear();
  TrackIndex = TrackCount = PlayState = PlaySeconds = TotalSeconds = SpectrumStopSeconds = 0;
  CurrentFileName.clear();
  FileNameBuffer.clear();
  DecoderOk = false;
  std::memset(SpectrumLeft, 0, sizeof SpectrumLeft);
  std::memset(SpectrumRight, 0, sizeof SpectrumRight);
  Volume = 0;
  OsKind = 0;
  std::memset(OsNameBuffer, 0, sizeof OsNameBuffer);
}
