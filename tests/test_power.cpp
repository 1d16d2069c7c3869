// The platform identification at start and the shutdown command.
#include "app_fixture.h"
#include "ui/platform.h"

using Calls = std::vector<std::string>;
using PowerTest = AppTest;

namespace {
const char* const kQuestion = "電源切断してもよろしいですか？";
}

TEST_F(PowerTest, PlatformTableNamesTheVersionAndRecordsItsFamily) {
  struct Case {
    DWORD platform, major, minor, build;
    const char* status;
    int32_t kind;
  };
  const char* untouched = "(untouched)";
  const Case cases[] = {
      {1, 4, 0, 0x04000395, "Microsoft Windows95", 1},
      {1, 4, 0, 0, "Microsoft Windows95", 1},
      {1, 7, 0, 1, "Microsoft Windows95", 1},  // the major version is not looked at
      {1, 4, 10, 0x040A07CE, "Microsoft Windows98", 1},
      {1, 4, 10, 0x040A08AE, "Windows 98 Second Edition", 1},
      {1, 4, 10, 0x07CE, "Windows 98 Second Edition", 1},  // the whole 32 bits are compared
      {1, 4, 90, 0x045A0BB8, "Windows Millennium Edition", 1},
      {1, 4, 3, 0, "OSのバージョン不明", 1},
      {2, 3, 51, 1057, "WindowsNT 3.51", 2},
      {2, 4, 0, 1381, "WindowsNT 4.0", 2},
      {2, 5, 0, 2195, "Microsoft Windows 2000", 2},
      {2, 5, 1, 2600, "Microsoft Windows XP", 2},
      {2, 5, 2, 3790, "Microsoft Windows XP", 2},
      {2, 6, 1, 7601, "WindowsNT 6.1", 2},
      {2, 10, 0, 19045, "WindowsNT 10.0", 2},
      {0, 3, 10, 0, "Windows3.1", 0},
      {3, 5, 0, 0, untouched, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    ResetProgramState();
    os.calls.clear();
    os.version = OSVERSIONINFOA{148, c.major, c.minor, c.build, c.platform, {}};
    dec.init = false;  // leaves its text for a platform that shows none
    Start();
    EXPECT_EQ(Status(), c.status == untouched ? "VBMP3.DLLの初期化に失敗しました" : c.status);
    EXPECT_EQ(OsKind, c.kind);
    EXPECT_EQ(os.Count("GetVersionExA(148)"), 1);
  }
}

TEST_F(PowerTest, FailingVersionQueryReadsAsWin32s) {
  os.versionFails = true;
  Start();
  EXPECT_EQ(Status(), "Windows3.1");
  EXPECT_EQ(OsKind, 0);
}

TEST_F(PowerTest, ClickOnTheWindowBlanksTheStatusLine) {
  Start();
  F().FormClick(nullptr);
  EXPECT_EQ(Status(), " ");
}

TEST_F(PowerTest, EndPlaybackWithShutdownIsEnabledExactlyWhileTheBoxIsChecked) {
  Start();
  for (bool on : {true, false, true, false}) {
    F().CheckBox1->SetChecked(on);
    EXPECT_EQ(F().Exit2->Enabled(), on);
  }
  EXPECT_FALSE(F().WindowsS1->Enabled());
}

// ---- the shutdown command
// ---------------------------------------------------------

struct ShutdownCase {
  const char* name;
  DWORD platform;  // 0 Win32s, 1 the 95 family, 2 NT
  BOOL openToken = 1, lookup = 1, exitResult = 1;
  std::deque<DWORD> adjustErrors{};
  // Expected
  Calls calls{};                 // shutdown and token calls in order
  const char* status = nullptr;  // nullptr: the platform name stays
  Calls boxes{};
};
std::ostream& operator<<(std::ostream& o, const ShutdownCase& c) { return o << c.name; }

class Shutdown : public AppTest, public ::testing::WithParamInterface<ShutdownCase> {
 protected:
  Calls ShutdownCalls() const {
    Calls out;
    for (const auto& c : os.calls)
      for (const char* p : {"ExitWindowsEx", "OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges",
                            "CloseHandle", "MessageBox"})
        if (c.compare(0, std::strlen(p), p) == 0) out.push_back(c);
    return out;
  }
};

TEST_P(Shutdown, GoesByThePlatformFamilyAndReportsEachFailure) {
  const auto& c = GetParam();
  os.version = OSVERSIONINFOA{148, c.platform == 2 ? 5u : 4u, c.platform == 2 ? 1u : 10u, 0x040A07CE, c.platform, {}};
  Start();
  const std::string platformName = Status();
  os.openTokenResult = c.openToken;
  os.lookupPrivilegeResult = c.lookup;
  os.exitWindowsResult = c.exitResult;
  os.errorsAfterAdjust = c.adjustErrors;
  F().CheckBox1->SetChecked(true);  // armed: no question
  ClearCalls();
  os.boxes.clear();
  F().WindowsS1Click(nullptr);
  EXPECT_EQ(ShutdownCalls(), c.calls);
  EXPECT_EQ(Status(), c.status ? c.status : platformName);
  Calls boxes;
  for (const Box& b : os.boxes) boxes.push_back(b.text);
  EXPECT_EQ(boxes, c.boxes);
  EXPECT_EQ(os.openTokens, 0);  // the token is closed on every path
}

namespace {
const std::string kOpen = "OpenProcessToken(40)", kLookup = "LookupPrivilegeValueA(SeShutdownPrivilege)",
                  kEnable = "AdjustTokenPrivileges(16,2)", kDisable = "AdjustTokenPrivileges(16,0)",
                  kClose = "CloseHandle", kPowerOff = "ExitWindowsEx(8)";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Shutdown,
    ::testing::Values(
        ShutdownCase{"Win32sRefuses",
                     0,
                     1,
                     1,
                     1,
                     {},
                     {"MessageBox(このOSではこの機能は使えません)"},
                     nullptr,
                     {"このOSではこの機能は使えません"}},
        ShutdownCase{"Family95ShutsDown", 1, 1, 1, 1, {}, {"ExitWindowsEx(1)"}, nullptr, {}},
        ShutdownCase{"Family95Fails", 1, 1, 1, 0, {}, {"ExitWindowsEx(1)"}, "Error ExitWindowEx", {}},
        ShutdownCase{"NtPowersOff",
                     2,
                     1,
                     1,
                     1,
                     {},
                     {kOpen, kLookup, kEnable, kClose, kPowerOff, kOpen, kLookup, kDisable, kClose},
                     "",
                     {}},
        ShutdownCase{"NtTokenNotOpened", 2, 0, 1, 1, {}, {kOpen}, "Error OpenProcessToken", {}},
        ShutdownCase{"NtPrivilegeUnknown", 2, 1, 0, 1, {}, {kOpen, kLookup, kClose}, "Error LookupPrivilegeValue", {}},
        ShutdownCase{"NtPrivilegeNotAssigned",
                     2,
                     1,
                     1,
                     1,
                     {ERROR_NOT_ALL_ASSIGNED},
                     {kOpen, kLookup, kEnable, kClose},
                     "Error AdjustTokenPrivileges",
                     {}},
        ShutdownCase{"NtPowerOffFailsStillDisables",
                     2,
                     1,
                     1,
                     0,
                     {},
                     {kOpen, kLookup, kEnable, kClose, kPowerOff, kOpen, kLookup, kDisable, kClose},
                     "Error ExitWindowEx",
                     {}},
        ShutdownCase{"NtDisablingFailureReplacesTheText",
                     2,
                     1,
                     1,
                     0,
                     {0, ERROR_NOT_ALL_ASSIGNED},
                     {kOpen, kLookup, kEnable, kClose, kPowerOff, kOpen, kLookup, kDisable, kClose},
                     "Error AdjustTokenPrivileges",
                     {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PowerTest, PrivilegeRecordHoldsOneEntryAndTheLocalSystemIsAnEmptyText) {
  Start();
  F().CheckBox1->SetChecked(true);
  F().WindowsS1Click(nullptr);
  ASSERT_EQ(os.adjustRecords.size(), 2u);
  const DWORD attributes[] = {SE_PRIVILEGE_ENABLED, 0};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(os.adjustRecords[i].PrivilegeCount, 1u);
    EXPECT_EQ(os.adjustRecords[i].Privileges[0].Luid.LowPart,
              19u);  // as the look-up returned it
    EXPECT_EQ(os.adjustRecords[i].Privileges[0].Luid.HighPart, 0);
    EXPECT_EQ(os.adjustRecords[i].Privileges[0].Attributes, attributes[i]);
  }
  EXPECT_FALSE(os.lookupSystemWasNull);
  EXPECT_EQ(os.lookupSystemNames, (Calls{"", ""}));
}

TEST_F(PowerTest, QuestionAnsweredNoChangesNothingAndYesGoesOn) {
  Start();
  struct Case {
    int answer;
    bool shutsDown;
  };
  for (const Case c : {Case{IDNO, false}, Case{IDYES, true}}) {
    SCOPED_TRACE(c.answer);
    F().StatusBar1->SetSimpleText("before");
    ClearCalls();
    os.boxes.clear();
    os.boxAnswers = {c.answer};
    F().WindowsS1Click(nullptr);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, kQuestion);
    EXPECT_EQ(os.boxes[0].caption, "Vantrel For Windows");
    EXPECT_EQ(os.boxes[0].flags, 36u);
    EXPECT_EQ(os.Count("ExitWindowsEx"), c.shutsDown ? 1 : 0);
    EXPECT_EQ(os.Count("OpenProcessToken"), c.shutsDown ? 2 : 0);
    EXPECT_EQ(Status(), c.shutsDown ? "" : "before");
  }
}

TEST_F(PowerTest, ListEndingWithTheBoxCheckedShutsDownWithoutAsking) {
  Start();
  F().CheckBox1->SetChecked(true);
  Drop({"C:\\a.mp3"});
  F().Button1->Click();
  ClearCalls();
  dec.states = {{0, 215}};
  Tick();
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_EQ(os.Count("ExitWindowsEx(8)"), 1);
  EXPECT_TRUE(os.CalledBefore("vbmp3_stop", "OpenProcessToken(40)"));
  EXPECT_FALSE(F().Timer1->Enabled());
  // and chosen from the menu, too
  ClearCalls();
  F().Exit2->Click();
  EXPECT_EQ(os.Count("ExitWindowsEx(8)"), 1);
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_EQ(os.openTokens, 0);
}

TEST_F(PowerTest, EndOfPlaybackWithTheBoxClearAsksNothingAndShutsNothingDown) {
  Start();
  Drop({"C:\\a.mp3"});
  F().Button1->Click();
  dec.states = {{0, 215}};
  Tick();
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_EQ(os.Count("ExitWindowsEx"), 0);
  EXPECT_EQ(os.Count("OpenProcessToken"), 0);
}
