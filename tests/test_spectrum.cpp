// The eight-bar spectrum display and the volume control.
#include "app_fixture.h"
#include "spectrum/volume.h"

using Calls = std::vector<std::string>;
using SpectrumTest = StartedApp;

namespace {
// Distinct values in every entry, so a bar showing the wrong entry shows.
void FillSpectrum(FakeDecoder& dec) {
  for (int i = 0; i < 255; ++i) {
    dec.spectrumLeft[i] = i % 97;
    dec.spectrumRight[i] = (i + 40) % 89;
  }
}
}  // namespace

TEST_F(SpectrumTest, BarsShowFourEntriesOfEachChannelTopToBottom) {
  FillSpectrum(dec);
  struct Bar {
    int bar;
    bool left;
    int entry;
  };
  const Bar bars[] = {{1, true, 150}, {2, true, 100}, {3, true, 50},   {4, true, 0},
                      {5, false, 0},  {6, false, 50}, {7, false, 100}, {8, false, 150}};
  F().ONOFF1Click(nullptr);
  ClearCalls();
  SpectrumTick();
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_getSpectrum"}));
  for (const Bar& b : bars) {
    SCOPED_TRACE(b.bar);
    const int32_t want = b.left ? dec.spectrumLeft[b.entry] : dec.spectrumRight[b.entry];
    EXPECT_EQ(F().ProgressBar[b.bar]->Position(), want);
    EXPECT_EQ((b.left ? SpectrumLeft : SpectrumRight)[b.entry], want);
  }
  EXPECT_EQ(SpectrumRight[254],
            dec.spectrumRight[254]);  // fetched, though not shown
}

TEST_F(SpectrumTest, SwitchingOnWhileOnRestartsNothingAndOffWhileOffEmptiesAgain) {
  const int starts = os.timerStarts;
  F().ONOFF1Click(nullptr);
  F().ONOFF1Click(nullptr);
  EXPECT_TRUE(F().Timer2->Enabled());
  EXPECT_EQ(os.timerStarts - starts, 1);
  EXPECT_TRUE(DecoderCalls().empty());  // the bars wait for the first tick
  EXPECT_EQ(os.runningTimers.count(F().Timer2), 1u);

  F().OFFF1Click(nullptr);
  EXPECT_FALSE(F().Timer2->Enabled());
  EXPECT_EQ(os.runningTimers.count(F().Timer2), 0u);
  for (int n = 1; n <= 8; ++n) F().ProgressBar[n]->SetPosition(10 * n);
  F().OFFF1Click(nullptr);
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(F().ProgressBar[n]->Position(), 0) << n;
  EXPECT_FALSE(F().Timer2->Enabled());
  EXPECT_EQ(os.timerStarts - starts, 1);
  // The handlers leave the menu items' enabled state alone.
  EXPECT_FALSE(F().ONOFF1->Enabled());
  EXPECT_FALSE(F().OFFF1->Enabled());
}

TEST_F(SpectrumTest, FailingTickReportsOnceSetsTheBarsAndSwitchesTheDisplayOff) {
  for (bool okBefore : {true, false}) {
    SCOPED_TRACE(okBefore);
    os.boxes.clear();
    FillSpectrum(dec);
    dec.spectrumResult = 0;
    DecoderOk = okBefore;
    for (int n = 1; n <= 8; ++n) F().ProgressBar[n]->SetPosition(99);
    F().ONOFF1Click(nullptr);
    int nestedCalls = 0, barDuringBox = -1;
    os.whileBoxOpen = [&, depth = 0](const Box&) mutable {
      if (depth) return;  // a box opened by a nested tick closes at once
      ++depth;
      barDuringBox = F().ProgressBar[1]->Position();
      const size_t before = DecoderCalls().size();
      for (int i = 0; i < 3; ++i) SpectrumTick();
      nestedCalls += int(DecoderCalls().size() - before);
      --depth;
    };
    SpectrumTick();
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "スペクトラムエラー");
    EXPECT_EQ(os.boxes[0].caption, "vantrel_mp3");
    EXPECT_EQ(os.boxes[0].flags, unsigned(MB_OK));
    EXPECT_EQ(nestedCalls, 0);
    EXPECT_EQ(barDuringBox, 99);  // the bars are set once the box has closed
    EXPECT_EQ(F().ProgressBar[1]->Position(), dec.spectrumLeft[150]);
    EXPECT_EQ(F().ProgressBar[4]->Position(), dec.spectrumLeft[0]);
    EXPECT_EQ(F().ProgressBar[5]->Position(), dec.spectrumRight[0]);
    EXPECT_EQ(F().ProgressBar[8]->Position(), dec.spectrumRight[150]);
    EXPECT_EQ(DecoderOk, okBefore);
    EXPECT_FALSE(F().Timer2->Enabled());
  }
}

TEST_F(SpectrumTest, MonitorTicksDuringTheSpectrumBoxDoNothing) {
  Drop({"C:\\a.mp3"});
  F().Button1->Click();
  F().ONOFF1Click(nullptr);
  dec.spectrumResult = 0;
  int nestedCalls = 0;
  os.whileBoxOpen = [&, depth = 0](const Box&) mutable {
    if (depth) return;  // a box opened by a nested tick closes at once
    ++depth;
    const size_t before = DecoderCalls().size();
    TickWith(0, 215);
    nestedCalls += int(DecoderCalls().size() - before);
    --depth;
  };
  SpectrumTick();
  EXPECT_EQ(nestedCalls, 0);
  EXPECT_EQ(os.boxes.size(), 1u);
  EXPECT_EQ(TrackIndex, 0);
  EXPECT_TRUE(F().Timer1->Enabled());
}

TEST_F(SpectrumTest, OutOfRangeValuesShowAsFullOrEmptyBars) {
  dec.spectrumLeft[150] = 250;
  dec.spectrumLeft[100] = -30;
  F().ONOFF1Click(nullptr);
  SpectrumTick();
  EXPECT_EQ(F().ProgressBar[1]->Position(), 100);
  EXPECT_EQ(F().ProgressBar[2]->Position(), 0);
  EXPECT_EQ(SpectrumLeft[150], 250);  // the fetched values stay as they came
}

// ---- volume
// ----------------------------------------------------------------------

TEST_F(SpectrumTest, EveryChangeNotificationHandsTheSameVolumeToBothChannels) {
  TTrackBar* t = F().TrackBar1;
  t->SetPosition(30);
  t->NotifyChange(30);  // e.g. the end of a drag, position unchanged
  t->NotifyChange(70);
  t->SetPosition(70);  // no change, no notification
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_setVolume(30,30)", "vbmp3_setVolume(30,30)", "vbmp3_setVolume(70,70)"}));
  EXPECT_EQ(Volume, 70);
}

TEST_F(SpectrumTest, OneArrowStepFrom95GivesAHundred) {
  TTrackBar* t = F().TrackBar1;
  ASSERT_EQ(t->LineSize, 10);
  struct Case {
    const char* how;
    std::function<void()> step;
  };
  const Case cases[] = {
      {"native notification", [&] { t->NotifyChange(t->Position() + t->LineSize); }},
      {"set from the program", [&] { t->SetPosition(t->Position() + t->LineSize); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    t->SetPosition(95);
    ClearCalls();
    c.step();
    EXPECT_EQ(t->Position(), 100);
    EXPECT_EQ(Volume, 100);
    EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_setVolume(100,100)"}));
  }
  t->NotifyChange(-20);
  EXPECT_EQ(Volume, 0);
}

TEST_F(SpectrumTest, VolumeFailureTextStaysUntilAnotherTextReplacesIt) {
  dec.volume = false;
  F().TrackBar1->SetPosition(20);
  EXPECT_EQ(Status(), "音量の調整に失敗しました");
  EXPECT_FALSE(DecoderOk);
  EXPECT_EQ(F().TrackBar1->Position(), 20);  // never moved back
  EXPECT_EQ(Volume, 20);
  dec.volume = true;
  F().TrackBar1->SetPosition(40);
  EXPECT_TRUE(DecoderOk);
  EXPECT_EQ(Status(), "音量の調整に失敗しました");
  F().FormClick(nullptr);
  EXPECT_EQ(Status(), " ");
}

TEST_F(SpectrumTest, NothingButTheTrackBarHandsTheVolumeOn) {
  Drop({"C:\\a.mp3", "C:\\b.mp3"});
  F().Button1->Click();
  TickWith(1, 3);
  F().Button3->Click();
  F().Button5->Click();
  F().Button7->Click();
  F().Button2->Click();
  EXPECT_EQ(os.Count("vbmp3_setVolume"), 0);
}
