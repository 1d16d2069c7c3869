// The settings file, the integer and colour texts it holds, the two colour
// commands and the window position the settings see.
#include "app_fixture.h"

using Calls = std::vector<std::string>;

// ---- integer and colour texts
// ---------------------------------------------------

TEST(IniIntegers, TextsReadAsTheSettingsFileHoldsThem) {
  struct Case {
    const char* text;
    int value;
  };
  const int def = -77;
  const Case cases[] = {
      {"50", 50},
      {"-5", -5},
      {"+7", 7},
      {"0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", int(-2147483647 - 1)},
      {"0x1E", 30},
      {"0X1e", 30},
      {"$1E", 30},
      {"$ff", 255},
      {"$FFFFFFFF", -1},
      {"", def},
      {"abc", def},
      {"12abc", def},
      {"1.5", def},
      {"0x", def},
      {"$", def},
      {"-", def},
      {"2147483648", def},
      {"$100000000", def},
      {"0xG1", def},
  };
  FakeOs os;
  TIniFile ini("C:\\x\\vantrel_mp3.ini");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    os.profile["Sect1/TR"] = c.text;
    EXPECT_EQ(ini.ReadInteger("Sect1", "TR", def), c.value);
  }
  os.profile.clear();
  EXPECT_EQ(ini.ReadInteger("Sect1", "TR", def), def);  // missing key
  ini.WriteInteger("Sect1", "TR", -12);
  EXPECT_EQ(os.profileWrites, (Calls{"TR=-12"}));
}

TEST(Colours, EveryNameInAnyCaseAndBack) {
  struct Named {
    const char* name;
    uint32_t value;
  };
  const Named names[] = {
      {"clBlack", 0x000000},  {"clMaroon", 0x000080},  {"clGreen", 0x008000}, {"clOlive", 0x008080},
      {"clNavy", 0x800000},   {"clPurple", 0x800080},  {"clTeal", 0x808000},  {"clGray", 0x808080},
      {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},     {"clLime", 0x00FF00},  {"clYellow", 0x00FFFF},
      {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
      {"clNone", 0x1FFFFFFF},
  };
  const char* system[] = {
      "clScrollBar",    "clBackground",     "clActiveCaption", "clInactiveCaption", "clMenu",
      "clWindow",       "clWindowFrame",    "clMenuText",      "clWindowText",      "clCaptionText",
      "clActiveBorder", "clInactiveBorder", "clAppWorkSpace",  "clHighlight",       "clHighlightText",
      "clBtnFace",      "clBtnShadow",      "clGrayText",      "clBtnText",         "clInactiveCaptionText",
      "clBtnHighlight", "cl3DDkShadow",     "cl3DLight",       "clInfoText",        "clInfoBk"};
  std::vector<Named> all(std::begin(names), std::end(names));
  for (uint32_t i = 0; i < 25; ++i) all.push_back({system[i], 0x80000000u + i});
  for (const Named& n : all) {
    SCOPED_TRACE(n.name);
    std::string upper = n.name, lower = n.name;
    for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(uint32_t(StringToColor(n.name)), n.value);
    EXPECT_EQ(uint32_t(StringToColor(upper)), n.value);
    EXPECT_EQ(uint32_t(StringToColor(lower)), n.value);
    EXPECT_EQ(ColorToString(TColor(n.value)), n.name);
  }
}

TEST(Colours, IntegerTextsAndTheirWrittenForm) {
  struct Case {
    const char* text;
    uint32_t value;
    const char* written;
  };
  const Case cases[] = {
      {"255", 0x0000FF, "clRed"},
      {"16776960", 0xFFFF00, "clAqua"},
      {"0", 0, "clBlack"},
      {"$00123456", 0x123456, "$00123456"},
      {"$abcdef", 0xABCDEF, "$00ABCDEF"},
      {"0x00FF00", 0x00FF00, "clLime"},
      {"0x12", 0x12, "$00000012"},
      {"-1", 0xFFFFFFFF, "$FFFFFFFF"},
      {"+16", 16, "$00000010"},
      {"$80000005", 0x80000005, "clWindow"},
      {"$80000019", 0x80000019, "$80000019"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TColor got = 0;
    ASSERT_TRUE(TryStringToColor(c.text, got));
    EXPECT_EQ(uint32_t(got), c.value);
    EXPECT_EQ(uint32_t(StringToColor(c.text)), c.value);
    EXPECT_EQ(ColorToString(got), c.written);
  }
}

TEST(Colours, TextsThatAreNoColourRaiseTheConversionError) {
  for (const char* text : {"", "red", "clRedd", "12x", "99999999999", "$123456789", "$", "0x"}) {
    SCOPED_TRACE(text);
    TColor got = 12345;
    EXPECT_FALSE(TryStringToColor(text, got));
    try {
      StringToColor(text);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message, "'" + std::string(text) + "' は整数ではありません");
    }
  }
}

// ---- the settings at start and close
// ---------------------------------------------

using SettingsTest = AppTest;

namespace {
std::vector<TControl*> ColouredControls(TForm1& f) {
  return {f.Memo1, f.Edit1, f.Edit2, f.Edit3, f.Edit4, f.Edit5, f.Edit6};
}
}  // namespace

TEST_F(SettingsTest, FirstStartWithoutAFileIsCentredAquaOnBlackAtFiftyAndWritesThat) {
  Start();
  EXPECT_EQ(F().Left, (1024 - F().Width()) / 2);
  EXPECT_EQ(F().Top, (768 - F().Height()) / 2);
  EXPECT_GT(F().Width(), F().ClientWidth);  // the outer size, frame included
  EXPECT_GT(F().Height(), F().ClientHeight);
  for (TControl* c : ColouredControls(F())) {
    SCOPED_TRACE(c->Name);
    EXPECT_EQ(c->FontColor(), clAqua);
    EXPECT_EQ(c->Color(), clBlack);
  }
  EXPECT_EQ(F().TrackBar1->Position(), 50);
  EXPECT_TRUE(os.boxes.empty());
  F().Close();
  EXPECT_EQ(os.profileWrites, (Calls{"y=" + std::to_string(F().Left), "x=" + std::to_string(F().Top), "TR=50",
                                     "FC=clAqua", "BC=clBlack"}));
  EXPECT_EQ(os.Count("WriteProfileString"), 5);
}

TEST_F(SettingsTest, ReadsEachKeyInOrderIntoItsPlace) {
  os.profile = {
      {"Sect1/y", "100"}, {"Sect1/x", "200"}, {"Sect1/FC", "clred"}, {"Sect1/BC", "$00123456"}, {"Sect1/TR", "0x1E"}};
  Start();
  EXPECT_EQ(F().Left, 100);  // "y" is the left edge
  EXPECT_EQ(F().Top, 200);
  for (TControl* c : ColouredControls(F())) {
    SCOPED_TRACE(c->Name);
    EXPECT_EQ(c->FontColor(), 0x0000FF);
    EXPECT_EQ(c->Color(), 0x123456);
  }
  EXPECT_EQ(F().TrackBar1->Position(), 30);
  Calls reads = os.CallsStartingWith("GetProfileString");
  Calls expected = {"GetProfileString(y)", "GetProfileString(x)"};
  for (int i = 0; i < 7; ++i) {
    expected.push_back("GetProfileString(FC)");
    expected.push_back("GetProfileString(BC)");
  }
  expected.push_back("GetProfileString(TR)");
  EXPECT_EQ(reads, expected);
  F().Close();
  EXPECT_EQ(os.profileWrites, (Calls{"y=100", "x=200", "TR=30", "FC=clRed", "BC=$00123456"}));
}

TEST_F(SettingsTest, StoredValuesAndWhatTheCloseWritesBack) {
  struct Case {
    const char* key;
    const char* stored;
    const char* written;  // the same key after the close
  };
  const Case cases[] = {
      {"FC", "clred", "FC=clRed"},
      {"FC", "255", "FC=clRed"},
      {"BC", "$00A1B2C3", "BC=$00A1B2C3"},
      {"BC", "$00a1b2c3", "BC=$00A1B2C3"},
      {"FC", "16776960", "FC=clAqua"},
      {"BC", "clWindow", "BC=clWindow"},
      {"TR", "150", "TR=100"},
      {"TR", "-5", "TR=0"},
      {"TR", "0x1E", "TR=30"},
      {"TR", "abc", "TR=50"},
      {"y", "-3000", "y=-3000"},
      {"x", "99999", "x=99999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
    ResetProgramState();
    os.profile = {{std::string("Sect1/") + c.key, c.stored}};
    os.profileWrites.clear();
    os.boxes.clear();
    Start();
    F().Close();
    EXPECT_TRUE(os.boxes.empty());
    bool found = false;
    for (const auto& w : os.profileWrites)
      if (w.compare(0, std::strlen(c.key) + 1, std::string(c.key) + "=") == 0) {
        found = true;
        EXPECT_EQ(w, c.written);
      }
    EXPECT_TRUE(found);
  }
}

TEST_F(SettingsTest, CentringTruncatesTowardZeroAlsoForAWindowWiderThanTheScreen) {
  Start();
  const int w = F().Width(), h = F().Height();
  struct Case {
    int screenW, screenH, left, top;
  };
  const Case cases[] = {
      {w + 100, h + 60, 50, 30}, {w + 101, h + 61, 50, 30}, {w, h, 0, 0},
      {w - 8, h - 2, -4, -1},    {w - 7, h - 1, -3, 0},  // -3.5 and -0.5 go
                                                         // toward zero
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screenW);
    ResetProgramState();
    os.screenW = c.screenW, os.screenH = c.screenH;
    Start();
    EXPECT_EQ(F().Left, c.left);
    EXPECT_EQ(F().Top, c.top);
  }
}

TEST_F(SettingsTest, PositionThatIsNoIntegerGivesTheCentredDefault) {
  os.profile = {{"Sect1/y", "abc"}, {"Sect1/x", ""}};
  Start();
  EXPECT_EQ(F().Left, (1024 - F().Width()) / 2);
  EXPECT_EQ(F().Top, (768 - F().Height()) / 2);
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(SettingsTest, BadColourIsReportedOncePerKeyAndTheStartGoesOn) {
  struct Case {
    const char* fc;
    const char* bc;
    Calls boxes;
    TColor font, back;
  };
  const Case cases[] = {
      {"", nullptr, {"'' は整数ではありません"}, clAqua, clBlack},
      {"rot", nullptr, {"'rot' は整数ではありません"}, clAqua, clBlack},
      {nullptr, "schwarz", {"'schwarz' は整数ではありません"}, clAqua, clBlack},
      {"x1", "clWhite", {"'x1' は整数ではありません"}, clAqua, 0xFFFFFF},
      {"x1", "y2", {"'x1' は整数ではありません", "'y2' は整数ではありません"}, clAqua, clBlack},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fc ? c.fc : "-") + "/" + (c.bc ? c.bc : "-"));
    ResetProgramState();
    os.calls.clear();
    os.boxes.clear();
    os.profile = {{"Sect1/TR", "80"}};
    if (c.fc) os.profile["Sect1/FC"] = c.fc;
    if (c.bc) os.profile["Sect1/BC"] = c.bc;
    Start();
    Calls texts;
    for (const Box& b : os.boxes) {
      texts.push_back(b.text);
      EXPECT_EQ(b.caption, "vantrel_mp3");
    }
    EXPECT_EQ(texts, c.boxes);
    for (TControl* ctl : ColouredControls(F())) {
      EXPECT_EQ(ctl->FontColor(), c.font) << ctl->Name;
      EXPECT_EQ(ctl->Color(), c.back) << ctl->Name;
    }
    // the rest of the start sequence
    EXPECT_EQ(F().TrackBar1->Position(), 80);
    EXPECT_EQ(DecoderCalls(), (Calls{"vbmp3_setVolume(80,80)", "vbmp3_setVolume(80,80)", "vbmp3_init"}));
    EXPECT_TRUE(os.dragAccepting);
    EXPECT_EQ(Status(), "WindowsNT 6.1");
  }
}

TEST_F(SettingsTest, RefusedWriteIsReportedOnceLaterValuesAreNotWrittenAndTheWindowCloses) {
  for (int goodWrites : {0, 2, 4}) {
    SCOPED_TRACE(goodWrites);
    ResetProgramState();
    os.boxes.clear();
    os.profileWrites.clear();
    os.calls.clear();
    os.writesBeforeFailure = goodWrites;
    Start();
    F().Close();
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "C:\\Program Files\\Vantrel\\vantrel_mp3.ini に書き込めません");
    EXPECT_EQ(os.boxes[0].caption, "vantrel_mp3");
    EXPECT_EQ(os.profileWrites.size(), size_t(goodWrites));
    EXPECT_EQ(os.Count("WriteProfileString"),
              goodWrites + 1);  // nothing tried after the refusal
    EXPECT_TRUE(F().Closed);
    EXPECT_TRUE(Application->Terminated);
    EXPECT_EQ(os.Count("vbmp3_free"), 1);
  }
}

TEST_F(SettingsTest, ClosingWhileMinimisedWritesTheRestoredPosition) {
  Start();
  F().NativeMoved(300, 120, false);
  F().NativeMoved(-32000, -32000, true);
  EXPECT_EQ(F().Left, 300);
  EXPECT_EQ(F().Top, 120);
  F().Close();
  ASSERT_GE(os.profileWrites.size(), 2u);
  EXPECT_EQ(os.profileWrites[0], "y=300");
  EXPECT_EQ(os.profileWrites[1], "x=120");
}

// ---- the colour commands
// ----------------------------------------------------------

TEST_F(SettingsTest, ColourCommandsShareOneDialogAndCancelChangesNothing) {
  Start();
  struct Step {
    const char* what;
    bool text;  // M2 (text colour) or B1 (background)
    bool ok;
    uint32_t choice;
    uint32_t dialogOpensOn;
    TColor font, back;
  };
  const Step steps[] = {
      {"text colour cancelled", true, false, 0x00FF00, 0x000000, clAqua, clBlack},
      {"text colour red", true, true, 0x0000FF, 0x000000, 0x0000FF, clBlack},
      {"background cancelled", false, false, 0x00FF00, 0x0000FF, 0x0000FF, clBlack},
      {"background opens on red", false, true, 0xFFFFFF, 0x0000FF, 0x0000FF, 0xFFFFFF},
      {"text colour opens on white", true, true, 0x123456, 0xFFFFFF, 0x123456, 0xFFFFFF},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    os.colorDialogResult = s.ok;
    os.colorDialogChoice = s.choice;
    (s.text ? F().M2 : F().B1)->Click();
    ASSERT_FALSE(os.colorDialogStartColours.empty());
    EXPECT_EQ(os.colorDialogStartColours.back(), s.dialogOpensOn);
    for (TControl* c : ColouredControls(F())) {
      EXPECT_EQ(c->FontColor(), s.font) << c->Name;
      EXPECT_EQ(c->Color(), s.back) << c->Name;
    }
  }
  EXPECT_EQ(os.profileWrites.size(), 0u);  // the file hears of it at the close
  F().Close();
  EXPECT_EQ(os.profileWrites[3], "FC=$00123456");
  EXPECT_EQ(os.profileWrites[4], "BC=clWhite");
}
