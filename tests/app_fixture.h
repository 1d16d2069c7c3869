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

// A started program with its helpers public, so tables of cases can hold
// steps that act on it.
class StartedApp : public AppTest {
 public:
  using AppTest::ClearCalls;
  using AppTest::dec;
  using AppTest::DecoderCalls;
  using AppTest::Drop;
  using AppTest::F;
  using AppTest::os;
  using AppTest::SpectrumTick;
  using AppTest::Status;
  using AppTest::Tick;

  void SetUp() override {
    AppTest::SetUp();
    Start();
    ClearCalls();
    os.boxes.clear();
  }

  // A monitor tick at which the decoder reports this state and second.
  void TickWith(int32_t state, int32_t seconds) {
    dec.states = {{state, seconds}};
    Tick();
  }

  // Enabled state as "Button1..7 ONOFF1OFFF1 Timer1 drops", e.g. "1101000 00 0
  // 1".
  std::string Controls() {
    TForm1& f = F();
    TButton* b[] = {f.Button1, f.Button2, f.Button3, f.Button4, f.Button5, f.Button6, f.Button7};
    std::string s;
    for (TButton* x : b) s += x->Enabled() ? '1' : '0';
    s += ' ';
    s += f.ONOFF1->Enabled() ? '1' : '0';
    s += f.OFFF1->Enabled() ? '1' : '0';
    s += f.Timer1->Enabled() ? " 1" : " 0";
    s += os.dragAccepting ? " 1" : " 0";
    return s;
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const Box& b : os.boxes) out.push_back(b.text);
    return out;
  }
};
