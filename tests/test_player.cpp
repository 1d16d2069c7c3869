// Track loading, playlist intake, the transport commands, the monitor and the
// end of playback, on the fake decoder.
#include <functional>

#include "app_fixture.h"

using Calls = std::vector<std::string>;

namespace {
const std::string A = "C:\\music\\a.mp3", B = "C:\\music\\b.mp3", C = "C:\\music\\c.mp3";
const std::string Short = "C:\\music\\short.mp3";  // a track of 3 seconds
const char* const kPlayFailed =
    "MP3の再生に失敗しました、ファイルが見つからな"
    "いかMP3ファイルではありません";
const char* const kStopFailed = "MP3の停止に失敗しました";
const char* const kOpenFailed = "ファイルのオープンに失敗しました";
}  // namespace

using PlayerTest = StartedApp;

// ---- enabled states through a session ---------------------------------------

TEST_F(PlayerTest, EnabledStatesFollowEachCommand) {
  struct Step {
    const char* what;
    std::function<void()> act;
    const char* controls;  // Button1..7, ONOFF1 OFFF1, Timer1, drops accepted
    const char* status;
  };
  const Step steps[] = {
      {"start", [] {}, "1101000 00 0 1", "WindowsNT 6.1"},
      {"drop three",
       [&] {
         Drop({A, B, C});
       },
       "1101011 00 0 1", "WindowsNT 6.1"},
      {"play", [&] { F().Button1->Click(); }, "0100011 00 1 0", "WindowsNT 6.1"},
      {"tick, playing", [&] { TickWith(1, 0); }, "0110011 11 1 0", "再生中"},
      {"pause", [&] { F().Button3->Click(); }, "0110100 11 1 0", "再生中"},
      {"tick, paused", [&] { TickWith(2, 0); }, "0110100 11 1 0", "一時停止中"},
      {"restart", [&] { F().Button5->Click(); }, "0110011 11 1 0", "一時停止中"},
      {"stop", [&] { F().Button2->Click(); }, "1111000 00 0 1", "終了しました"},
      {"play again", [&] { F().Button1->Click(); }, "0110000 00 1 0", "終了しました"},
      {"track end, next entry plays", [&] { TickWith(0, 215); }, "0110000 00 1 0", "停止中"},
      {"pause", [&] { F().Button3->Click(); }, "0110100 00 1 0", "停止中"},
      {"restart", [&] { F().Button5->Click(); }, "0110011 00 1 0", "停止中"},
      {"next to the last entry", [&] { F().Button7->Click(); }, "0110011 00 1 0", "停止中"},
      {"next past the end", [&] { F().Button7->Click(); }, "0110010 00 1 0", "停止中"},
      {"tick after the end", [&] { TickWith(0, 3); }, "1111000 00 0 1", "終了しました"},
      {"drop one", [&] { Drop({A}); }, "1111010 00 0 1", "終了しました"},
      {"play refused",
       [&] {
         dec.play = false;
         F().Button1->Click();
       },
       "1111000 00 0 1", "終了しました"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    EXPECT_EQ(Controls(), s.controls);
    EXPECT_EQ(Status(), s.status);
  }
  EXPECT_EQ(TrackIndex, 0);  // the drop of one file started its list anew
}

// ---- Play
// ---------------------------------------------------------------------

struct PlayFailureCase {
  const char* name;
  bool loaded, stopFails;
  Calls boxes;
};
std::ostream& operator<<(std::ostream& o, const PlayFailureCase& c) { return o << c.name; }

class PlayFailure : public StartedApp, public ::testing::WithParamInterface<PlayFailureCase> {};

TEST_P(PlayFailure, ReportsThenStopsAndLeavesPlayFileOpenAndDropsOn) {
  const auto& c = GetParam();
  if (c.loaded) Drop({A, B});
  ClearCalls();
  dec.play = false;
  dec.stop = !c.stopFails;
  int nestedCalls = 0;
  os.whileBoxOpen = [&, depth = 0](const Box&) mutable {
    if (depth) return;  // a box opened by a nested tick closes at once
    ++depth;
    const size_t before = DecoderCalls().size();
    Tick();
    Tick();
    nestedCalls += int(DecoderCalls().size() - before);
    --depth;
  };
  F().Button1->Click();
  EXPECT_EQ(BoxTexts(), c.boxes);
  EXPECT_EQ(nestedCalls,
            0);  // the monitor is on while the boxes are open, but does nothing
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_play", "vbmp3_stop"}));
  EXPECT_EQ(Controls(), "1101000 00 0 1");
  EXPECT_EQ(Status(), "終了しました");
  EXPECT_EQ(os.Count("DragAcceptFiles(FALSE)"), 0);
  EXPECT_FALSE(os.awake);
  EXPECT_EQ(F().Edit6->Text(), "");
  EXPECT_EQ(F().Label10->Caption(), "0秒");
}

INSTANTIATE_TEST_SUITE_P(Cases, PlayFailure,
                         ::testing::Values(PlayFailureCase{"NothingLoaded", false, false, {kPlayFailed}},
                                           PlayFailureCase{"ListLoaded", true, false, {kPlayFailed}},
                                           PlayFailureCase{"StopFailsToo", true, true, {kPlayFailed, kStopFailed}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, PlayRefusesDropsAndKeepsTheSystemAwakeUntilStop) {
  Drop({A});
  F().Button1->Click();
  EXPECT_FALSE(os.dragAccepting);
  EXPECT_TRUE(os.awake);
  EXPECT_TRUE(os.CalledBefore("vbmp3_play", "DragAcceptFiles(FALSE)"));
  F().Button2->Click();
  EXPECT_TRUE(os.dragAccepting);
  EXPECT_FALSE(os.awake);
  // Stop leaves the track open: a new Play plays it again.
  ClearCalls();
  F().Button1->Click();
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_play"}));
  EXPECT_TRUE(os.awake);
}

TEST_F(PlayerTest, StopWhileStoppedRunsEveryStepAgain) {
  dec.stop = false;
  F().Button2->Click();
  F().Button2->Click();
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_stop", "vbmp3_stop"}));
  EXPECT_EQ(BoxTexts(), (Calls{kStopFailed, kStopFailed}));
  EXPECT_EQ(Status(), "終了しました");
}

// ---- Pause and Restart
// ----------------------------------------------------------

TEST_F(PlayerTest, PauseAndRestartSwitchRestartWhateverTheDecoderAnswers) {
  Drop({A, B});
  F().Button1->Click();
  TickWith(1, 1);  // the spectrum comes on at second 1
  ASSERT_TRUE(F().Timer2->Enabled());
  dec.pause = false;
  F().Button3->Click();
  EXPECT_EQ(BoxTexts(), (Calls{"一時停止に失敗しました"}));
  EXPECT_TRUE(F().Button5->Enabled());
  EXPECT_TRUE(F().Button3->Enabled());  // Pause never disables itself
  EXPECT_TRUE(F().Timer1->Enabled());
  EXPECT_TRUE(F().Timer2->Enabled());
  dec.restart = false;
  F().Button5->Click();
  EXPECT_EQ(BoxTexts(), (Calls{"一時停止に失敗しました", "再生に失敗しました"}));
  EXPECT_FALSE(F().Button5->Enabled());
  EXPECT_TRUE(F().Timer2->Enabled());
  // Stop while paused leaves Pause and Restart as they are.
  dec.pause = true;
  F().Button3->Click();
  F().Button2->Click();
  EXPECT_TRUE(F().Button3->Enabled());
  EXPECT_TRUE(F().Button5->Enabled());
}

TEST_F(PlayerTest, RestartEnablesPreviousAndNextOnlyForAListOfMoreThanOne) {
  struct Case {
    int entries;
    bool stepsEnabled;
  };
  for (const Case c : {Case{0, false}, Case{1, false}, Case{2, true}, Case{3, true}}) {
    SCOPED_TRACE(c.entries);
    if (c.entries == 0) {
      os.openDialogResult = true;
      os.openDialogFile = A;
      F().Button4->Click();  // right after start: no list
    } else {
      std::vector<std::string> list(size_t(c.entries), A);
      Drop(list);
    }
    F().Button1->Click();
    TickWith(1, 0);
    F().Button3->Click();
    EXPECT_FALSE(F().Button6->Enabled());
    EXPECT_FALSE(F().Button7->Enabled());
    F().Button5->Click();
    EXPECT_EQ(F().Button6->Enabled(), c.stepsEnabled);
    EXPECT_EQ(F().Button7->Enabled(), c.stepsEnabled);
    F().Button2->Click();
  }
}

// ---- Previous and Next
// ------------------------------------------------------------

struct BoundaryCase {
  const char* name;
  int button;              // 6 Previous, 7 Next
  bool playing;            // the monitor runs when the boundary is reached
  int32_t indexAfter;      // TrackIndex right after the command
  int32_t indexAfterTick;  // after the monitor's next tick that sees the decoder
                           // stopped
  std::string openedAtTick;
  const char* statusAfterTick;
};
std::ostream& operator<<(std::ostream& o, const BoundaryCase& c) { return o << c.name; }

class Boundary : public StartedApp, public ::testing::WithParamInterface<BoundaryCase> {};

TEST_P(Boundary, StopsClosesStopsDisablesItsButtonAndTheMonitorGoesOn) {
  const auto& c = GetParam();
  Drop({A, B, C});
  TButton* own = c.button == 6 ? F().Button6 : F().Button7;
  TButton* other = c.button == 6 ? F().Button7 : F().Button6;
  if (c.button == 7) {  // walk to the last entry; Next plays each
    F().Button7->Click();
    F().Button7->Click();
    if (!c.playing) {  // stopped on the last entry, Previous and Next enabled
                       // again
      TickWith(1, 0);
      F().Button3->Click();
      F().Button2->Click();
      F().Button5->Click();
    }
  } else if (c.playing) {
    F().Button1->Click();
  }
  ASSERT_EQ(F().Timer1->Enabled(), c.playing);
  ASSERT_TRUE(own->Enabled());
  const std::string shown = F().Edit6->Text();
  const bool otherEnabled = other->Enabled();
  F().Timer2->SetEnabled(true);
  ClearCalls();
  own->Click();
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_stop", "vbmp3_close", "vbmp3_stop"}));
  EXPECT_EQ(TrackIndex, c.indexAfter);
  EXPECT_FALSE(own->Enabled());
  EXPECT_EQ(other->Enabled(), otherEnabled);
  EXPECT_EQ(F().Timer1->Enabled(), c.playing);
  EXPECT_FALSE(F().Timer2->Enabled());  // the spectrum goes off first
  EXPECT_EQ(F().Edit6->Text(), shown);  // the fields still show the old track

  // The closed decoder reports "stopped" at the monitor's next tick.
  ClearCalls();
  const std::string statusBefore = Status();
  TickWith(0, 0);
  EXPECT_EQ(TrackIndex, c.indexAfterTick);
  EXPECT_EQ(os.CallsStartingWith("vbmp3_open"),
            c.openedAtTick.empty() ? Calls{} : Calls{"vbmp3_open(" + c.openedAtTick + ")"});
  EXPECT_EQ(Status(), c.statusAfterTick ? c.statusAfterTick : statusBefore);
  EXPECT_FALSE(own->Enabled());
  if (!c.openedAtTick.empty()) {
    EXPECT_EQ(SpectrumStopSeconds,
              215 - 10);  // the monitor's advance loads with lead 10
    EXPECT_EQ(os.Count("vbmp3_play"), 1);
    EXPECT_EQ(F().Memo1->SelectedLine, c.indexAfterTick);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Boundary,
                         ::testing::Values(BoundaryCase{"PreviousOnFirstWhilePlaying", 6, true, -1, 0, A, "停止中"},
                                           BoundaryCase{"NextOnLastWhilePlaying", 7, true, 3, 4, "", "終了しました"},
                                           // With the monitor off, nothing follows.
                                           BoundaryCase{"PreviousOnFirstWhileStopped", 6, false, -1, -1, "", nullptr},
                                           BoundaryCase{"NextOnLastWhileStopped", 7, false, 3, 3, "", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, PreviousAndNextLoadTheNeighbourWithLeadFiveAndPlayIt) {
  dec.secondsByPath = {{A, 30}, {B, 40}, {C, 50}};
  Drop({A, B, C});
  struct Step {
    int button;
    std::string path;
    int32_t index;
    const char* stop;
  };
  const Step steps[] = {{7, B, 1, "35秒"}, {7, C, 2, "45秒"}, {6, B, 1, "35秒"}, {6, A, 0, "25秒"}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.path);
    ClearCalls();
    (s.button == 6 ? F().Button6 : F().Button7)->Click();
    EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_stop", "vbmp3_close", "vbmp3_open(" + s.path + ")", "vbmp3_play"}));
    EXPECT_EQ(os.lookups, (Calls{"vbmp3_open", "vbmp3_stop", "vbmp3_close", "vbmp3_play"}));
    EXPECT_EQ(TrackIndex, s.index);
    EXPECT_EQ(F().Edit6->Text(), s.path);
    EXPECT_EQ(F().Label23->Caption(), s.stop);
    EXPECT_EQ(F().Memo1->SelectedLine, s.index);
    EXPECT_TRUE(F().Timer1->Enabled());
  }
}

TEST_F(PlayerTest, NextPlaysTheNextEntryEvenWhenItCannotBeOpened) {
  Drop({A, B});
  dec.open = false;
  F().Button7->Click();
  EXPECT_EQ(BoxTexts(), (Calls{kOpenFailed}));
  EXPECT_EQ(os.Count("vbmp3_play"), 1);
  EXPECT_TRUE(F().Timer1->Enabled());
}

// ---- track loading
// ---------------------------------------------------------------

struct LeadCase {
  const char* name;
  const char* stopText;
};
std::ostream& operator<<(std::ostream& o, const LeadCase& c) { return o << c.name; }

class StopLead : public StartedApp, public ::testing::WithParamInterface<LeadCase> {};

// The same 3-second track reached by each caller of the load.
TEST_P(StopLead, SpectrumStopSecondIsTheTotalLessTheCallersLead) {
  const std::string route = GetParam().name;
  dec.secondsByPath = {{A, 30}, {Short, 3}};
  if (route == "FileOpen") {
    os.openDialogResult = true;
    os.openDialogFile = Short;
    F().Button4->Click();
  } else if (route == "Drop") {
    Drop({Short, A});
  } else if (route == "Next") {
    Drop({A, Short});
    F().Button7->Click();
  } else if (route == "Previous") {
    Drop({Short, A});
    F().Button7->Click();
    F().Button6->Click();
  } else if (route == "MonitorAdvance") {
    Drop({A, Short});
    F().Button1->Click();
    TickWith(0, 30);
  }
  ASSERT_EQ(dec.openedPaths.back(), Short);
  EXPECT_EQ(TotalSeconds, 3);
  EXPECT_EQ(F().Label10->Caption(), "3秒");
  EXPECT_EQ(F().Label23->Caption(), GetParam().stopText);
  EXPECT_EQ(F().Edit6->Text(), Short);
  EXPECT_EQ(FileNameBuffer, Short);
}

INSTANTIATE_TEST_SUITE_P(Cases, StopLead,
                         ::testing::Values(LeadCase{"FileOpen", "-7秒"}, LeadCase{"Drop", "-2秒"},
                                           LeadCase{"Next", "-2秒"}, LeadCase{"Previous", "-2秒"},
                                           LeadCase{"MonitorAdvance", "-7秒"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, LoadShowsWhatTheDecoderReports) {
  dec.info.Channels = 1, dec.info.BitRate = 320, dec.info.SamplingRate = 48000, dec.info.Seconds = 215;
  Drop({A});
  EXPECT_EQ(F().Edit1->Text(), "Title");
  EXPECT_EQ(F().Edit2->Text(), "Artist");
  EXPECT_EQ(F().Edit3->Text(), "1");
  EXPECT_EQ(F().Edit4->Text(), "320");
  EXPECT_EQ(F().Edit5->Text(), "48000");
  EXPECT_EQ(F().Edit6->Text(), A);
  EXPECT_EQ(F().Label10->Caption(), "215秒");
  EXPECT_EQ(F().Label23->Caption(), "210秒");
  EXPECT_EQ(CurrentFileName, A);
  EXPECT_TRUE(DecoderOk);
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(PlayerTest, FailedOpenShowsEmptyTextsAndZerosWhateverTheDecoderLeft) {
  dec.open = false;
  dec.leaveGarbage = true;
  Drop({A});
  EXPECT_FALSE(DecoderOk);
  EXPECT_EQ(BoxTexts(), (Calls{kOpenFailed}));
  EXPECT_EQ(F().Edit1->Text(), "");
  EXPECT_EQ(F().Edit2->Text(), "");
  EXPECT_EQ(F().Edit3->Text(), "0");
  EXPECT_EQ(F().Edit4->Text(), "0");
  EXPECT_EQ(F().Edit5->Text(), "0");
  EXPECT_EQ(F().Label10->Caption(), "0秒");
  EXPECT_EQ(F().Label23->Caption(), "-5秒");
  EXPECT_EQ(F().Edit6->Text(), A);  // the path shows all the same
  // A successful open after the failure shows no box.
  dec.open = true;
  Drop({A});
  EXPECT_EQ(os.boxes.size(), 1u);
}

TEST_F(PlayerTest, TextsThatFillTheirWholeFieldAreReadNoFurther) {
  std::memset(dec.info.Title, 'T',
              sizeof dec.info.Title);  // no NUL in the field
  std::memset(dec.info.Artist, 'R',
              sizeof dec.info.Artist);  // nor here, the numbers follow
  Drop({A});
  EXPECT_EQ(F().Edit1->Text(), std::string(128, 'T'));
  EXPECT_EQ(F().Edit2->Text(), std::string(128, 'R'));
}

// ---- playlist intake
// ------------------------------------------------------------

TEST_F(PlayerTest, DropListsEveryNameInOrderAndLoadsTheFirst) {
  const std::string folder = "C:\\music", text = "C:\\notes.txt";
  Drop({A, folder, text});
  EXPECT_EQ(F().Memo1->Lines.Text(), A + "\r\n" + folder + "\r\n" + text);
  EXPECT_EQ(F().Label13->Caption(), "3曲");
  EXPECT_EQ(TrackCount, 3);
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_close", "vbmp3_open(" + A + ")"}));
  EXPECT_TRUE(os.CalledBefore("vbmp3_open(" + A + ")", "DragFinish"));
  EXPECT_EQ(F().Memo1->SelectedLine, 0);
  EXPECT_EQ(os.Count("vbmp3_play"), 0);
  // The folder and the other file are handed to the decoder like any entry.
  F().Button7->Click();
  EXPECT_EQ(dec.openedPaths.back(), folder);
  F().Button7->Click();
  EXPECT_EQ(dec.openedPaths.back(), text);
}

TEST_F(PlayerTest, SecondDropReplacesTheListAndStartsAtItsFirstEntry) {
  Drop({A, B, C});
  F().Button1->Click();
  for (int i = 0; i < 3; ++i) TickWith(0, 215);  // played through: TrackIndex 3
  ASSERT_EQ(TrackIndex, 3);
  Drop({B, C});
  EXPECT_EQ(F().Memo1->Lines.Text(), B + "\r\n" + C);
  EXPECT_EQ(F().Label13->Caption(), "2曲");
  EXPECT_EQ(TrackIndex, 0);
  EXPECT_EQ(dec.openedPaths.back(), B);
  EXPECT_EQ(F().Memo1->SelectedLine, 0);
}

TEST_F(PlayerTest, LongNamesAreListedAndOpenedWhole) {
  const std::string longPath = "C:\\" + std::string(300, 'n') + ".mp3";
  Drop({longPath, A});
  EXPECT_EQ(F().Memo1->Lines[0], longPath);
  EXPECT_EQ(dec.openedPaths.back(), longPath);
  EXPECT_EQ(F().Edit6->Text(), longPath);
  EXPECT_EQ(FileNameBuffer, longPath);
  // and from the open dialog as well
  const std::string other = "D:\\" + std::string(400, 'o') + ".mp3";
  os.openDialogResult = true;
  os.openDialogFile = other;
  F().Button4->Click();
  EXPECT_EQ(dec.openedPaths.back(), other);
}

TEST_F(PlayerTest, DropOfMoreThan64KBOfNamesKeepsEveryLine) {
  std::vector<std::string> names;
  size_t bytes = 0;
  for (int i = 0; bytes <= 70000; ++i) {
    names.push_back("C:\\music\\" + std::to_string(i) + std::string(230, 'x') + ".mp3");
    bytes += names.back().size() + 2;
  }
  Drop(names);
  ASSERT_EQ(F().Memo1->Lines.Count(), int(names.size()));
  EXPECT_EQ(F().Memo1->Lines[0], names.front());
  EXPECT_EQ(F().Memo1->Lines[int(names.size()) - 1], names.back());
  EXPECT_EQ(F().Label13->Caption(), std::to_string(names.size()) + "曲");
}

TEST_F(PlayerTest, FileOpenUsesItsDialogAndLeavesTheListAlone) {
  dec.secondsByPath = {{A, 30}, {B, 40}, {C, 50}};
  Drop({A, B, C});
  ClearCalls();
  F().Button4->Click();  // cancelled
  EXPECT_TRUE(DecoderCalls().empty());
  EXPECT_EQ(F().Edit6->Text(), A);
  EXPECT_EQ(F().Label10->Caption(), "30秒");
  os.openDialogResult = true;
  os.openDialogFile = Short;
  dec.secondsByPath[Short] = 3;
  F().Button4->Click();
  EXPECT_EQ(os.openDialogFilters, (Calls{"MP3ファイル(*.MP3)|*.MP3", "MP3ファイル(*.MP3)|*.MP3"}));
  EXPECT_EQ(os.openDialogTitles, (Calls{"演奏するMP3ファイルを選んで下さい", "演奏するMP3ファイルを選んで下さい"}));
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_open(" + Short + ")"}));
  EXPECT_EQ(F().Edit6->Text(), Short);
  EXPECT_EQ(TrackIndex, 0);
  EXPECT_EQ(TrackCount, 3);
  EXPECT_EQ(F().Label13->Caption(), "3曲");
  EXPECT_EQ(F().Memo1->Lines.Count(), 3);
  EXPECT_EQ(Controls(), "1101011 00 0 1");
  // When the opened file has played, the monitor moves on in the list.
  F().Button1->Click();
  TickWith(0, 3);
  EXPECT_EQ(TrackIndex, 1);
  EXPECT_EQ(dec.openedPaths.back(), B);
  EXPECT_EQ(F().Label23->Caption(), "30秒");
}

// ---- the monitor
// ---------------------------------------------------------------

TEST_F(PlayerTest, DroppedListPlaysThroughFromItsFirstEntry) {
  const std::string paths[] = {A, B, C};
  dec.secondsByPath = {{A, 30}, {B, 40}, {C, 50}};
  Drop({A, B, C});
  F().Button1->Click();
  EXPECT_FALSE(os.dragAccepting);
  for (int entry = 1; entry <= 2; ++entry) {
    SCOPED_TRACE(entry);
    TickWith(1, 5);
    EXPECT_EQ(Status(), "再生中");
    EXPECT_EQ(F().Label6->Caption(), "5秒");
    ClearCalls();
    const int starts = os.timerStarts;
    TickWith(0, 20 + 10 * entry);
    EXPECT_EQ(os.timerStarts, starts);  // the Play inside the tick leaves the monitor's period alone
    EXPECT_EQ(DecoderCalls(),
              (Calls{"vbmp3_getState", "vbmp3_close", "vbmp3_open(" + paths[entry] + ")", "vbmp3_play"}));
    EXPECT_EQ(os.lookups, (Calls{"vbmp3_close", "vbmp3_getState", "vbmp3_open", "vbmp3_play"}));
    EXPECT_EQ(TrackIndex, entry);
    EXPECT_EQ(F().Memo1->SelectedLine, entry);
    EXPECT_EQ(F().Edit6->Text(), paths[entry]);
    EXPECT_EQ(SpectrumStopSeconds, 30 + 10 * entry - 10);
    EXPECT_EQ(Status(), "停止中");
    EXPECT_EQ(F().Label6->Caption(),
              std::to_string(20 + 10 * entry) + "秒");  // the finished track's
    EXPECT_FALSE(os.dragAccepting);                     // accepted at the track end, refused again
                                                        // by the Play
    EXPECT_TRUE(F().Timer1->Enabled());
  }
  TickWith(1, 5);
  ClearCalls();
  TickWith(0, 50);
  EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_getState", "vbmp3_close", "vbmp3_stop"}));
  EXPECT_EQ(TrackIndex, 3);
  EXPECT_EQ(Status(), "終了しました");
  EXPECT_EQ(Controls(), "1111000 00 0 1");
  EXPECT_FALSE(os.awake);
  EXPECT_EQ(F().Edit6->Text(), "");
  EXPECT_EQ(F().Label10->Caption(), "0秒");
  EXPECT_EQ(F().Label6->Caption(), "50秒");
  EXPECT_EQ(F().Label23->Caption(), "40秒");
  EXPECT_EQ(dec.openedPaths, (Calls{A, B, C}));
  ClearCalls();
  Tick();  // the monitor has stopped
  EXPECT_TRUE(DecoderCalls().empty());
}

TEST_F(PlayerTest, SingleFileOpenedRightAfterStartEndsAtIndexOne) {
  os.openDialogResult = true;
  os.openDialogFile = A;
  F().Button4->Click();
  F().Button1->Click();
  TickWith(1, 100);
  TickWith(0, 215);
  EXPECT_EQ(TrackIndex, 1);
  EXPECT_EQ(Status(), "終了しました");
  EXPECT_TRUE(F().Button3->Enabled());  // Pause stays enabled
  EXPECT_EQ(Controls(), "1111000 00 0 1");
}

TEST_F(PlayerTest, UnrecognisedStateShowsUnknownAndChangesNothingElse) {
  for (int32_t code : {3, -1}) {
    SCOPED_TRACE(code);
    Drop({A, B});
    F().Button1->Click();
    TickWith(1, 10);
    const std::string before = Controls();
    const int32_t index = TrackIndex;
    ClearCalls();
    TickWith(code, 11);
    EXPECT_EQ(Status(), "不明");
    EXPECT_EQ(F().Label6->Caption(), "11秒");
    EXPECT_EQ(Controls(), before);
    EXPECT_EQ(TrackIndex, index);
    EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_getState"}));
    F().Button2->Click();
  }
}

struct SwitchCase {
  const char* name;
  int32_t total;    // dropped track, lead 5
  bool onBefore;    // display on before the tick
  int32_t seconds;  // reported at the tick
  bool onAfter;
  bool switchedOn;  // the tick switched the display on (maybe off again)
  bool cleared;     // the tick switched the display off, emptying the bars
};
std::ostream& operator<<(std::ostream& o, const SwitchCase& c) { return o << c.name; }

class SpectrumSwitches : public StartedApp, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SpectrumSwitches, MonitorSwitchesOnAtSecondOneAndOffFromTheStopSecond) {
  const auto& c = GetParam();
  dec.info.Seconds = c.total;
  Drop({A});
  F().Button1->Click();
  if (c.onBefore) F().ONOFF1Click(nullptr);
  F().ProgressBar[3]->SetPosition(40);
  const int starts = os.timerStarts;
  TickWith(1, c.seconds);
  EXPECT_EQ(F().Timer2->Enabled(), c.onAfter);
  EXPECT_EQ(os.timerStarts - starts, c.switchedOn ? 1 : 0);
  EXPECT_EQ(F().ProgressBar[3]->Position(), c.cleared ? 0 : 40);
}

INSTANTIATE_TEST_SUITE_P(Cases, SpectrumSwitches,
                         ::testing::Values(SwitchCase{"OnAtSecondOne", 215, false, 1, true, true, false},
                                           SwitchCase{"StaysOffAtSecondTwo", 215, false, 2, false, false, false},
                                           SwitchCase{"StaysOnBeforeTheStop", 215, true, 209, true, false, false},
                                           SwitchCase{"OffAtTheStopSecond", 215, true, 210, false, false, true},
                                           SwitchCase{"OffAfterTheStopSecond", 215, true, 214, false, false, true},
                                           SwitchCase{"OnThenOffForAShortTrack", 6, false, 1, false, true, true},
                                           SwitchCase{"NegativeStopSecond", 3, true, 0, false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct NestedCase {
  const char* name;
  int entries;
  bool openFails, playFails, stopFails;
  Calls boxes;
  int32_t indexAfter;
};
std::ostream& operator<<(std::ostream& o, const NestedCase& c) { return o << c.name; }

class NestedTicks : public StartedApp, public ::testing::WithParamInterface<NestedCase> {};

// Ticks that come while one of the monitor's boxes is open do nothing, so the
// boxes never pile up and the list never moves on behind them.
TEST_P(NestedTicks, DoNothingWhileTheMonitorsBoxIsOpen) {
  const auto& c = GetParam();
  Drop(c.entries == 2 ? std::vector<std::string>{A, B} : std::vector<std::string>{A});
  F().Button1->Click();
  TickWith(1, 100);
  dec.open = !c.openFails, dec.play = !c.playFails, dec.stop = !c.stopFails;
  int nestedCalls = 0;
  os.whileBoxOpen = [&, depth = 0](const Box&) mutable {
    if (depth) return;  // a box opened by a nested tick closes at once
    ++depth;
    const size_t before = DecoderCalls().size();
    for (int i = 0; i < 3; ++i) Tick();
    nestedCalls += int(DecoderCalls().size() - before);
    --depth;
  };
  TickWith(0, 215);
  EXPECT_EQ(BoxTexts(), c.boxes);
  EXPECT_EQ(nestedCalls, 0);
  EXPECT_EQ(TrackIndex, c.indexAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NestedTicks,
    ::testing::Values(
        NestedCase{"OpenFailsAtTheAdvance", 2, true, false, false, {kOpenFailed}, 1},
        NestedCase{"PlayFailsAtTheAdvance", 2, false, true, false, {kPlayFailed}, 1},
        NestedCase{"EverythingFailsAtTheAdvance", 2, true, true, true, {kOpenFailed, kPlayFailed, kStopFailed}, 1},
        NestedCase{"StopFailsAtTheEndOfTheList", 1, false, false, true, {kStopFailed}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, UnopenableEntryThatWillNotPlayEndsTheListThere) {
  Drop({A, B, C});
  F().Button1->Click();
  dec.open = false, dec.play = false;
  TickWith(0, 215);
  EXPECT_EQ(BoxTexts(), (Calls{kOpenFailed, kPlayFailed}));
  EXPECT_EQ(TrackIndex, 1);
  EXPECT_EQ(Controls(), "1101000 00 0 1");
  EXPECT_EQ(Status(), "終了しました");
}

// ---- end of playback
// --------------------------------------------------------------

TEST_F(PlayerTest, EndOfPlaybackDiffersFromStop) {
  struct Case {
    const char* command;
    bool spectrumOn, spectrumItems, dropsAccepted;
  };
  for (const Case c : {Case{"Stop", false, false, true}, Case{"Exit2", true, true, false}}) {
    SCOPED_TRACE(c.command);
    Drop({A, B});
    F().Button1->Click();
    TickWith(1, 1);  // playing, spectrum on
    SpectrumTick();
    F().ProgressBar[1]->SetPosition(77);
    F().Button3->Click();  // pause: Restart enabled
    const std::string memo = F().Memo1->Lines.Text();
    ClearCalls();
    if (std::string(c.command) == "Stop")
      F().Button2->Click();
    else
      F().Exit2Click(nullptr);
    EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_stop"}));
    EXPECT_EQ(F().Timer2->Enabled(), c.spectrumOn);
    EXPECT_EQ(F().ProgressBar[1]->Position(), c.spectrumOn ? 77 : 0);
    EXPECT_EQ(F().ONOFF1->Enabled(), c.spectrumItems);
    EXPECT_EQ(F().OFFF1->Enabled(), c.spectrumItems);
    EXPECT_EQ(os.dragAccepting, c.dropsAccepted);
    // alike in both
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(F().InfoEdit(n)->Text(), "") << n;
    EXPECT_EQ(F().Label10->Caption(), "0秒");
    EXPECT_EQ(F().Label6->Caption(), "1秒");
    EXPECT_EQ(F().Label23->Caption(), "210秒");
    EXPECT_TRUE(F().Button1->Enabled() && F().Button4->Enabled());
    EXPECT_FALSE(F().Button6->Enabled() || F().Button7->Enabled());
    EXPECT_TRUE(F().Button3->Enabled() && F().Button5->Enabled());
    EXPECT_FALSE(F().Timer1->Enabled());
    EXPECT_EQ(Status(), "終了しました");
    EXPECT_FALSE(os.awake);
    EXPECT_EQ(TrackIndex, 0);
    EXPECT_EQ(TrackCount, 2);
    EXPECT_EQ(F().Memo1->Lines.Text(), memo);
    F().OFFF1Click(nullptr);
  }
}

TEST_F(PlayerTest, EndOfListWithAFailingStopShowsOneMessageAndStillEnds) {
  Drop({A});
  F().Button1->Click();
  dec.stop = false;
  TickWith(0, 215);
  EXPECT_EQ(BoxTexts(), (Calls{kStopFailed}));
  EXPECT_EQ(Status(), "終了しました");
  EXPECT_FALSE(F().Timer1->Enabled());
}
