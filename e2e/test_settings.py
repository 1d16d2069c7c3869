"""The settings file beside the program (vantrel_mp3.ini, read and written with
the system's private-profile calls) and the display colours, under Wine.

Colours are read off the screen: the information fields and the playlist are
drawn without anti-aliasing, so an edit that holds text shows exactly two
colours, its background and its text colour."""
import collections
import os
import re
import subprocess

from harness import E2ETest, winpath

INI = "vantrel_mp3.ini"
WRITTEN_KEYS = ["y", "x", "TR", "FC", "BC"]
EDITS = ["Edit%d" % n for n in range(1, 7)]
FREE_POINT = (500, 50)   # client point of the main window that no control covers

WM_SYSCOMMAND, SC_MINIMIZE = 0x0112, 0xF020
TEXT_COLOUR_CMD, BACKGROUND_CMD = 405, 406   # ツール → 文字色 / 背景色
ERROR_CAPTION = "vantrel_mp3"

AQUA, BLACK, RED, NAVY = (0, 255, 255), (0, 0, 0), (255, 0, 0), (0, 0, 128)


def rgb_of(text):
    """(r, g, b) of a "$00BBGGRR" colour text."""
    v = int(text.lstrip("$"), 16)
    return v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF


def ini_file(a):
    return os.path.join(a.folder, INI)


def read_ini(a):
    with open(ini_file(a), "rb") as f:
        return f.read().decode("cp932")


def parse_ini(text):
    """[(section, [(key, value), ...]), ...] in the file's order."""
    out = []
    for line in text.splitlines():
        m = re.match(r"^\[(.*)\]$", line)
        if m:
            out.append((m.group(1), []))
        elif "=" in line and out:
            k, v = line.split("=", 1)
            out[-1][1].append((k, v))
    return out


def section(text, name):
    return dict(next((keys for sec, keys in parse_ini(text) if sec == name), []))


def write_ini(a, text):
    with open(ini_file(a), "wb") as f:
        f.write(text.encode("cp932"))


def centred(a):
    """The default position: (screen - outer size) / 2, truncated toward zero."""
    screen = a.d.cmd("screen")
    r = a.window()["rect"]
    return int((screen["width"] - r["width"]) / 2), int((screen["height"] - r["height"]) / 2)


def position(a):
    r = a.window()["rect"]
    return r["left"], r["top"]


def shown_colours(a):
    """What the seven coloured controls show: {name: (background, {other colours})}.
    The background is the commonest colour inside the control's border; for the
    memo (scroll bars, selection) only the background is told."""
    w = a.window()
    ctl = a.controls()
    screen = a.d.cmd("screen")
    width, height = screen["width"], screen["height"]
    shot = subprocess.run("xwd -root -silent -display %s | convert xwd:- -depth 8 rgb:-" % a.s.display,
                          shell=True, env=a.s.env, stdout=subprocess.PIPE, check=True).stdout
    if len(shot) != width * height * 3:
        raise AssertionError("screen capture of %d bytes for %dx%d" % (len(shot), width, height))
    out = {}
    for name in ["Memo1"] + EDITS:
        r = ctl[name]["rect"]
        count = collections.Counter()
        left, top = w["client_left"] + r["left"], w["client_top"] + r["top"]
        if left < 0 or top < 0 or left + r["width"] > width or top + r["height"] > height:
            raise AssertionError("%s lies off the screen" % name)
        for y in range(top + 3, top + r["height"] - 3):
            row = shot[(y * width + left + 3) * 3:(y * width + left + r["width"] - 3) * 3]
            count.update(tuple(row[i:i + 3]) for i in range(0, len(row), 3))
        bg = count.most_common(1)[0][0]
        out[name] = (bg, set(count) - {bg} if name != "Memo1" else None)
    return out


class SettingsTestBase(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()

    def fill_fields(self, a):
        """Drops a track so that every information field holds text."""
        track = os.path.join(a.dir, "WWWW.mp3")
        with open(track, "wb") as f:
            f.write(b"\xff\xfb\x90\x00" + b"\x00" * 413)
        rep = a.drop([track], *FREE_POINT)
        self.assertTrue(rep["accepted"], rep)
        self.wait(lambda: a.memo()["lines"] == [winpath(track)] and a.text("Edit1") == "WWWW", 15, "the track's fields")

    def assert_colours(self, a, fg, bg):
        want = {name: (bg, {fg} if name != "Memo1" else None) for name in ["Memo1"] + EDITS}
        last = {}

        def same():
            last["seen"] = shown_colours(a)
            return last["seen"] == want
        self.wait(same, 10, lambda: "text %s on %s in every field (shown: %r)" % (fg, bg, last.get("seen")))

    def exit_and_wait(self, a):
        a.command("Exit1")
        self.assertEqual(a.proc.wait(), 0)


class SettingsFileTest(SettingsTestBase):
    def test_values_are_applied_and_written_back(self):
        # case, file before the start (None: no file), position (None: centred),
        # text colour, background, volume, Sect1 after Exit
        cases = [
            ("no file", None, None, AQUA, BLACK, 50,
             {"TR": "50", "FC": "clAqua", "BC": "clBlack"}),
            ("name in lower case, unnamed $ colour, 0x volume, y not a number",
             "[Sect1]\r\ny=abc\r\nx=100\r\nFC=clred\r\nBC=$abcdef\r\nTR=0x1E\r\n", (None, 100), RED, (0xEF, 0xCD, 0xAB), 30,
             {"x": "100", "TR": "30", "FC": "clRed", "BC": "$00ABCDEF"}),
            ("decimal colour, volume above the range, position off the screen",
             "[Sect1]\r\ny=-50\r\nx=30\r\nFC=255\r\nBC=clnavy\r\nTR=150\r\n", (-50, 30), RED, NAVY, 100,
             {"y": "-50", "x": "30", "TR": "100", "FC": "clRed", "BC": "clNavy"}),
            ("volume below the range, other sections and keys",
             "; note\r\n[Other]\r\nkeep=1\r\n[Sect1]\r\nzz=stay\r\nTR=-5\r\n[Last]\r\nend=yes\r\n", None, AQUA, BLACK, 0,
             {"zz": "stay", "TR": "0", "FC": "clAqua", "BC": "clBlack"}),
        ]
        for case, before, pos, fg, bg, volume, after in cases:
            with self.subTest(case):
                for earlier in self._apps:
                    earlier.close()   # a failed case leaves no instance behind
                a = self.app(start=False)
                if before is not None:
                    write_ini(a, before)
                a.start()
                want_pos = list(centred(a))
                for n, v in enumerate(pos or (None, None)):
                    if v is not None:
                        want_pos[n] = v
                self.assertEqual(position(a), tuple(want_pos))
                self.assertEqual(a.control("TrackBar1")["pos"], volume)
                self.fill_fields(a)
                self.assertEqual(position(a), tuple(want_pos), "a drop does not move the window")
                self.assert_colours(a, fg, bg)
                self.exit_and_wait(a)
                text = read_ini(a)
                want = dict(after, y=str(want_pos[0]), x=str(want_pos[1]))
                self.assertEqual(section(text, "Sect1"), want)
                if before is None:
                    self.assertEqual(text, "[Sect1]\r\n" + "".join("%s=%s\r\n" % (k, want[k]) for k in WRITTEN_KEYS))
                else:
                    others = [s for s in parse_ini(before) if s[0] != "Sect1"]
                    self.assertEqual([s for s in parse_ini(text) if s[0] != "Sect1"], others)
                    self.assertEqual(text.splitlines()[0], before.splitlines()[0], "the comment line stays")

    def test_minimised_window_stores_its_restored_position(self):
        a = self.app(start=False)
        write_ini(a, "[Sect1]\r\ny=120\r\nx=90\r\nTR=50\r\nFC=clAqua\r\nBC=clBlack\r\n")
        a.start()
        self.assertEqual(position(a), (120, 90))
        a.cmd("post", msg=WM_SYSCOMMAND, wparam=SC_MINIMIZE)
        self.wait(lambda: a.window()["iconic"], 10, "the window minimised")
        self.exit_and_wait(a)
        s = section(read_ini(a), "Sect1")
        self.assertEqual((s["y"], s["x"]), ("120", "90"))


class SettingsErrorTest(SettingsTestBase):
    def test_bad_colours_are_reported_once_each_and_the_start_goes_on(self):
        from test_platform import PLATFORM_NAMES
        a = self.app(start=False)
        write_ini(a, "[Sect1]\r\nFC=\r\nBC=zz\r\nTR=20\r\n")
        a.start(wait_window=False)
        for bad in ("", "zz"):
            box = a.wait_box("'%s' は整数ではありません" % bad)
            self.assertEqual((box["caption"], box["text"]), (ERROR_CAPTION, "'%s' は整数ではありません" % bad))
            self.assertEqual(len(a.boxes()), 1, "one box at a time")
            a.press(box)
            self.wait(lambda: box["hwnd"] not in [b["hwnd"] for b in a.boxes()], 10, "the box to close")
        a.find_main()
        self.wait(lambda: a.status() in PLATFORM_NAMES, 10, lambda: "the platform in the status line (has %r)" % a.status())
        self.assertEqual(a.boxes(), [], "each bad key is reported once")
        self.assertEqual(a.control("TrackBar1")["pos"], 20)
        self.assertIn("vbmp3_init()", a.calls())
        self.fill_fields(a)   # drops are accepted
        self.assert_colours(a, AQUA, BLACK)
        pos = centred(a)
        self.assertEqual(position(a), pos)
        self.exit_and_wait(a)
        self.assertEqual(section(read_ini(a), "Sect1"),
                         {"y": str(pos[0]), "x": str(pos[1]), "TR": "20", "FC": "clAqua", "BC": "clBlack"})

    def test_unwritable_settings_file_is_reported_once_and_the_window_closes(self):
        a = self.app(start=False)
        os.makedirs(ini_file(a))   # a folder where the file would be: no write succeeds
        a.start()
        self.assertEqual(position(a), centred(a))
        self.assertEqual(a.boxes(), [])
        a.command("Exit1")
        want = "%s に書き込めません" % winpath(ini_file(a))
        box = a.wait_box("に書き込めません")
        self.assertEqual((box["caption"], box["text"].lower()), (ERROR_CAPTION, want.lower()))
        a.press(box)
        self.assertEqual(a.proc.wait(), 0, "the window closes all the same")
        self.assertTrue(os.path.isdir(ini_file(a)))
        self.assertEqual([c for c in a.calls() if c == "vbmp3_free()"], ["vbmp3_free()"])


class ColourDialogTest(SettingsTestBase):
    def dialog_rgb(self, a):
        dlg = a.wait_dialog(a.RED_ID)
        kids = {k["id"]: k["text"] for k in a.d.cmd("children", hwnd=dlg["hwnd"])["controls"]}
        return tuple(int(kids[i]) for i in (a.RED_ID, a.GREEN_ID, a.BLUE_ID))

    def choose(self, a, command, rgb, opens_on):
        a.command(command)
        self.wait(lambda: self.dialog_rgb(a) == opens_on, 15,
                  lambda: "the colour dialog opening on %s (shows %s)" % (opens_on, self.dialog_rgb(a)))
        a.choose_color(rgb)
        self.wait(lambda: not a.windows("#32770"), 10, "the colour dialog to close")

    def test_chosen_colours_show_at_once_and_reach_the_file_only_at_a_normal_close(self):
        before = "[Sect1]\r\ny=100\r\nx=80\r\nTR=40\r\nFC=clLime\r\nBC=clNavy\r\n"
        a = self.app(start=False)
        write_ini(a, before)
        a.start()
        self.fill_fields(a)
        self.assert_colours(a, (0, 255, 0), NAVY)
        text_colour, background = (0x12, 0x34, 0x56), (0xAB, 0xCD, 0xEF)
        # Both commands share one dialog: black at first, then the colour last chosen.
        self.choose(a, TEXT_COLOUR_CMD, text_colour, (0, 0, 0))
        self.assert_colours(a, text_colour, NAVY)
        self.choose(a, BACKGROUND_CMD, background, text_colour)
        self.assert_colours(a, text_colour, background)
        a.d.cmd("kill", pid=a.proc.winpid)
        a.proc.wait()
        self.assertEqual(read_ini(a), before, "a killed program leaves the file as it was")

        a.start()
        self.fill_fields(a)
        self.assert_colours(a, (0, 255, 0), NAVY)
        a.command(TEXT_COLOUR_CMD)
        self.assertEqual(self.dialog_rgb(a), (0, 0, 0))
        a.cancel_dialog(a.RED_ID)
        self.wait(lambda: not a.windows("#32770"), 10, "the colour dialog to close")
        self.assert_colours(a, (0, 255, 0), NAVY)
        self.choose(a, BACKGROUND_CMD, RED, (0, 0, 0))
        self.choose(a, TEXT_COLOUR_CMD, text_colour, RED)
        self.assert_colours(a, text_colour, RED)
        self.exit_and_wait(a)
        self.assertEqual(section(read_ini(a), "Sect1"),
                         {"y": "100", "x": "80", "TR": "40", "FC": "$00563412", "BC": "clRed"})
