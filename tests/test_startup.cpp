#include "app_fixture.h"
#include "decoder/binding.h"
#include "ui/about.h"

using Calls = std::vector<std::string>;

TEST_F(AppTest, StartLoadsLibraryThenGuardsThenHandsVolumeBeforeInit) {
  EXPECT_EQ(Start(), 0);
  ASSERT_GE(os.calls.size(), 2u);
  EXPECT_EQ(os.calls[0], "LoadLibraryA(vbmp3.dll)");
  EXPECT_EQ(os.calls[1], "CreateMutexA(vantrel_boot)");
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_setVolume(50,50)", "vbmp3_init"}));
  EXPECT_TRUE(os.CalledBefore("vbmp3_init", "DragAcceptFiles(TRUE)"));
  EXPECT_TRUE(os.CalledBefore("DragAcceptFiles(TRUE)", "GetVersionExA(148)"));
  EXPECT_EQ(Status(), "WindowsNT 6.1");
  EXPECT_EQ(F().Caption, "Vantrel");
}

TEST_F(AppTest, SecondInstanceIsRefusedWithItsBoxAndMinusOne) {
  os.mutexExists = true;
  EXPECT_EQ(Start(), -1);
  ASSERT_EQ(os.boxes.size(), 1u);
  EXPECT_EQ(os.boxes[0].text, "すでに同じプログラムが起動しています");
  EXPECT_EQ(os.boxes[0].caption, "Vantrel");
  EXPECT_EQ(os.boxes[0].flags, 16u);
  EXPECT_TRUE(os.CalledBefore("ReleaseMutex", "MessageBox(すでに同じプログラムが起動しています)"));
  EXPECT_EQ(Form1, nullptr);
  EXPECT_TRUE(DecoderCalls().empty());
}

TEST_F(AppTest, MutexThatCannotBeMadeEndsSilentlyWithMinusOne) {
  os.mutexFails = true;
  EXPECT_EQ(Start(), -1);
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_EQ(Form1, nullptr);
}

TEST_F(AppTest, ConstructionSetsSimpleStatusProgramDirAndErrorMode) {
  Start();
  EXPECT_TRUE(F().StatusBar1->SimplePanel);
  EXPECT_EQ(ProgramDir, "C:\\Program Files\\Vantrel\\");
  EXPECT_EQ(os.Count("SetErrorMode(3)"), 1);
}

TEST_F(AppTest, FailedInitShowsPlatformNameInTheEnd) {
  dec.init = false;
  Start();
  EXPECT_FALSE(DecoderOk);
  EXPECT_EQ(Status(), "WindowsNT 6.1");
}

TEST_F(AppTest, FailedInitOnUnknownPlatformKeepsTheFailureText) {
  dec.init = false;
  os.version.dwPlatformId = 3;
  Start();
  EXPECT_EQ(Status(), "VBMP3.DLLの初期化に失敗しました");
}

TEST_F(AppTest, MissingLibraryIsReportedOnceAndNothingIsCalledThroughIt) {
  os.libraryPresent = false;
  EXPECT_EQ(Start(), 0);
  ASSERT_EQ(os.boxes.size(), 1u);
  EXPECT_EQ(os.boxes[0].text.rfind("VBMP3.DLLが見つかりません", 0), 0u);
  EXPECT_TRUE(DecoderCalls().empty());
  EXPECT_FALSE(DecoderOk);
  EXPECT_EQ(Status(), "WindowsNT 6.1");  // the start sequence ran through
  EXPECT_TRUE(os.dragAccepting);
}

TEST_F(AppTest, MissingEntryPointCountsAsFailure) {
  os.missingEntries = {"vbmp3_init"};
  os.version.dwPlatformId = 3;
  Start();
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_setVolume(50,50)"}));
  EXPECT_EQ(Status(), "VBMP3.DLLの初期化に失敗しました");
}

TEST_F(AppTest, StoredVolumeGivesOneOrTwoCallsBeforeInit) {
  struct Case {
    const char* stored;
    Calls expected;
  };
  const Case cases[] = {
      {nullptr, {"vbmp3_setVolume(50,50)", "vbmp3_init"}},
      {"50", {"vbmp3_setVolume(50,50)", "vbmp3_init"}},
      {"abc", {"vbmp3_setVolume(50,50)", "vbmp3_init"}},
      {"0x32", {"vbmp3_setVolume(50,50)", "vbmp3_init"}},
      {"80", {"vbmp3_setVolume(80,80)", "vbmp3_setVolume(80,80)", "vbmp3_init"}},
      {"150", {"vbmp3_setVolume(100,100)", "vbmp3_setVolume(100,100)", "vbmp3_init"}},
      {"-5", {"vbmp3_setVolume(0,0)", "vbmp3_setVolume(0,0)", "vbmp3_init"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(none)");
    ResetProgramState();
    os.calls.clear();
    os.profile.clear();
    if (c.stored) os.profile["Sect1/TR"] = c.stored;
    Start();
    EXPECT_EQ(DecoderCalls(), c.expected);
  }
}

TEST_F(AppTest, CloseReleasesUnloadsAndWritesThenTheWindowCloses) {
  Start();
  ClearCalls();
  F().Exit1->Click();
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_free"}));
  EXPECT_TRUE(os.CalledBefore("vbmp3_free", "FreeLibrary"));
  EXPECT_TRUE(os.CalledBefore("FreeLibrary", "WriteProfileString(y=" + std::to_string(F().Left) + ")"));
  EXPECT_TRUE(F().Closed);
  EXPECT_TRUE(Application->Terminated);
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(AppTest, FailedFreeShowsOneBoxStopsMonitorAndStillUnloadsAndSaves) {
  Start();
  dec.release = false;
  F().Timer1->SetEnabled(true);
  F().Timer2->SetEnabled(true);
  int nestedDecoderCalls = -1;
  os.whileBoxOpen = [&](const Box&) {
    size_t before = DecoderCalls().size();
    Tick();
    SpectrumTick();
    nestedDecoderCalls = int(DecoderCalls().size() - before);
  };
  F().Close();
  ASSERT_EQ(os.boxes.size(), 1u);
  EXPECT_EQ(os.boxes[0].text, "VBMP3.DLLの開放に失敗しました");
  EXPECT_EQ(nestedDecoderCalls, 0);  // ticks during the box call nothing of the library
  EXPECT_FALSE(F().Timer1->Enabled());
  EXPECT_EQ(os.Count("FreeLibrary"), 1);
  EXPECT_EQ(os.profileWrites.size(), 5u);
  EXPECT_TRUE(F().Closed);
}

TEST_F(AppTest, SecondCloseReleasesNothingAgainButWritesSettingsAgain) {
  Start();
  F().Close();
  ClearCalls();
  os.profileWrites.clear();
  F().Closed = false;  // Windows cancelled the log-off after the first close query
  F().Close();
  EXPECT_TRUE(DecoderCalls().empty());
  EXPECT_EQ(os.Count("FreeLibrary"), 0);
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_EQ(os.profileWrites.size(), 5u);
  // Nothing reaches the library afterwards, timers included.
  EXPECT_FALSE(F().Timer1->Enabled());
  EXPECT_FALSE(F().Timer2->Enabled());
  F().Timer1->SetEnabled(true);
  Tick();
  EXPECT_TRUE(DecoderCalls().empty());
}

TEST_F(AppTest, ExitWhilePlayingReleasesWithoutStop) {
  Start();
  Drop({"C:\\a.mp3"});
  F().Button1->Click();
  ClearCalls();
  F().Exit1->Click();
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_free"}));
}

TEST_F(AppTest, AboutBoxIsNewEachTimeAndOwnedByTheMainWindow) {
  Start();
  for (int i = 0; i < 3; ++i) F().About1->Click();
  EXPECT_EQ(os.modalCount, 3);
  EXPECT_EQ(F().Components.size(), 3u);
  ASSERT_NE(AboutBox, nullptr);
  EXPECT_EQ(AboutBox->Owner, Form1);
  EXPECT_EQ(AboutBox, F().Components.back().get());
  EXPECT_FALSE(AboutBox->Visible);
}

TEST_F(AppTest, AboutBoxOkEndsTheModalDisplay) {
  Start();
  int result = -1;
  os.whileModal = [&](TForm* box) {
    static_cast<TAboutBox*>(box)->OKButton->Click();
    result = box->ModalResult;
  };
  F().About1->Click();
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(AboutBox->Closed);
  EXPECT_FALSE(F().Closed);  // only the box closed
}

TEST_F(AppTest, InitialControlStatesFollowTheLayout) {
  Start();
  TForm1& f = F();
  EXPECT_TRUE(f.Button1->Enabled());
  EXPECT_TRUE(f.Button2->Enabled());
  EXPECT_FALSE(f.Button3->Enabled());
  EXPECT_TRUE(f.Button4->Enabled());
  EXPECT_FALSE(f.Button5->Enabled());
  EXPECT_FALSE(f.Button6->Enabled());
  EXPECT_FALSE(f.Button7->Enabled());
  EXPECT_FALSE(f.Exit2->Enabled());
  EXPECT_FALSE(f.ONOFF1->Enabled());
  EXPECT_FALSE(f.OFFF1->Enabled());
  EXPECT_FALSE(f.WindowsS1->Enabled());
  EXPECT_TRUE(f.Exit1->Enabled() && f.M2->Enabled() && f.B1->Enabled() && f.About1->Enabled());
  EXPECT_FALSE(f.Timer1->Enabled());
  EXPECT_FALSE(f.Timer2->Enabled());
  EXPECT_EQ(f.Timer1->Interval, 1000u);
  EXPECT_EQ(f.Timer2->Interval, 100u);
  EXPECT_EQ(f.TrackBar1->Position(), 50);
  EXPECT_EQ(f.Label13->Caption(), "曲");
  EXPECT_EQ(f.Label6->Caption(), "0秒");
  EXPECT_FALSE(f.CheckBox1->Checked());
}

TEST(Labels, RightAlignedLabelKeepsItsRightEdge) {
  FakeOs os;
  TForm form;
  TLabel* l = form.Make<TLabel>("L", 1, 208, 280, 18, 12);
  l->RightAligned = true;
  l->SetCaption("0秒");
  const int right = l->Left + l->Width;
  l->SetCaption("12345秒");
  EXPECT_EQ(l->Left + l->Width, right);
  EXPECT_GT(l->Width, 18);
  TLabel* plain = form.Make<TLabel>("P", 2, 8, 84, 53, 12);
  plain->SetCaption("ab");
  EXPECT_EQ(plain->Left, 8);
  EXPECT_EQ(plain->Width, 12);
}
