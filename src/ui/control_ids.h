// Window identifiers of the main window's controls and menu items, and the
// window class names. The end-to-end driver finds controls through these.
#pragma once

namespace ids {
// ButtonN = 100 + N, EditN = 130 + N, LabelN = 200 + N, ProgressBarN = 300 + N.
constexpr int Button(int n) { return 100 + n; }
constexpr int Edit(int n) { return 130 + n; }
constexpr int Label(int n) { return 200 + n; }
constexpr int ProgressBar(int n) { return 300 + n; }
constexpr int CheckBox1 = 120;
constexpr int TrackBar1 = 320;
constexpr int Memo1 = 330;
constexpr int StatusBar1 = 340;
constexpr int Bevel1 = 350;

// Menu items (WM_COMMAND identifiers).
constexpr int Exit1 = 401;
constexpr int Exit2 = 402;
constexpr int ONOFF1 = 403;
constexpr int OFFF1 = 404;
constexpr int M2 = 405;
constexpr int B1 = 406;
constexpr int WindowsS1 = 407;
constexpr int About1 = 408;

// About box.
constexpr int OKButton = 1;  // IDOK, so Enter presses it
constexpr int Panel1 = 501;
constexpr int ProgramIcon = 502;
constexpr int ProductName = 503;
constexpr int Version = 504;
constexpr int Copyright = 505;
constexpr int Comments = 506;
}  // namespace ids

// Window class names of the two forms.
#define VANTREL_MAIN_CLASS L"TForm1"
#define VANTREL_ABOUT_CLASS L"TAboutBox"
