// A started program on the fake operating system and the fake decoder.
#pragma once
#include <gtest/gtest.h>

#include "app/startup.h"
#include "fake_os.h"
#include "player/state.h"
#include "ui/form1.h"

class AppTest : public ::testing::Test {
 protected:
  FakeOs os;
  FakeDecoder dec{os};

  void SetUp() override { ResetProgramState(); }
  void TearDown() override { ResetProgramState(); }

  // Runs the entry; the fake message loop returns at once, leaving the window.
  int Start() { return ProgramMain(); }
  TForm1& F() { return *Form1; }

  // A drop of these names onto the window, as the shell delivers it.
  void Drop(std::vector<std::string> names) {
    os.droppedFiles = std::move(names);
    TMessage m{WM_DROPFILES, 0x4242, 0, 0};
    F().Dispatch(m);
  }
  void Tick() { os.Tick(F().Timer1); }
  void SpectrumTick() { os.Tick(F().Timer2); }
  const std::string& Status() { return F().StatusBar1->SimpleText(); }
  std::vector<std::string> DecoderCalls() const { return os.CallsStartingWith("vbmp3_"); }
  void ClearCalls() {
    os.calls.clear();
    os.lookups.clear();
  }
};
