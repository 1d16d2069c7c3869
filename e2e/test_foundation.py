"""The player's window, menus, About box, single-instance guard, start and close,
and file drops, driven from outside under Wine."""
import os
import time

from harness import E2ETest, winpath

ABOUT_CLASS = "TAboutBox"

WS_SYSMENU = 0x00080000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_THICKFRAME = 0x00040000
WS_CAPTION = 0x00C00000
WS_VSCROLL = 0x00200000
WS_HSCROLL = 0x00100000

# name, class, left, top, width, height (None: not checked), caption, enabled
CONTROLS = [
    ("Button1", "Button", 8, 24, 57, 25, "再生", True),
    ("Button2", "Button", 78, 24, 57, 25, "停止", True),
    ("Button3", "Button", 149, 24, 57, 25, "一時停止", False),
    ("Button5", "Button", 219, 24, 57, 25, "再ｽﾀｰﾄ", False),
    ("Button6", "Button", 290, 24, 57, 25, "前のﾄﾗｯｸ", False),
    ("Button7", "Button", 360, 24, 57, 25, "次のﾄﾗｯｸ", False),
    ("Button4", "Button", 8, 360, 75, 25, "File Open", True),
    ("CheckBox1", "Button", 8, 56, 241, 17, "再生終了時にWindowsをシャットダウンする", True),
    ("Edit6", "Edit", 104, 80, 161, 20, None, True),
    ("Edit1", "Edit", 104, 110, 161, 20, None, True),
    ("Edit2", "Edit", 104, 141, 161, 20, None, True),
    ("Edit3", "Edit", 104, 171, 73, 20, None, True),
    ("Edit4", "Edit", 104, 202, 73, 20, None, True),
    ("Edit5", "Edit", 104, 232, 73, 20, None, True),
    ("TrackBar1", "msctls_trackbar32", 64, 296, 150, 25, None, True),
    ("Memo1", "Edit", 112, 336, 473, 97, "", True),
    ("Label13", "Static", 573, 320, None, None, "曲", True),
] + [("ProgressBar%d" % n, "msctls_progress32", 320, top, 249, 16, None, True)
     for n, top in enumerate([88, 117, 145, 174, 202, 231, 259, 288], 1)]

LABELS = {
    "Label1": "曲名", "Label2": "アーティスト名", "Label3": "チャンネル数", "Label4": "ビットレート",
    "Label5": "サンプリングレート", "Label6": "0秒", "Label7": "ファイル名", "Label8": "経過時間",
    "Label9": "/ 総演奏時間", "Label10": "0秒", "Label11": "Volume", "Label12": "演奏一覧リスト",
    "Label14": "L 150", "Label15": "L 100", "Label16": "L 50", "Label17": "L 0",
    "Label18": "R 0", "Label19": "R 50", "Label20": "R 100", "Label21": "R 150",
    "Label22": "スペクトラム停止時間", "Label23": "0秒",
}

# popup caption, [(item caption, command id, enabled)]
MENU = [
    ("メインメニュー(&M)", [("終了(&E)", 401, True)]),
    ("演奏(&E)", [("シャットダウン付き演奏終了(&S)", 402, False), ("スペクトラムON(&O)", 403, False),
                  ("スペクトラムOFF(&F)", 404, False)]),
    ("ツール(&T)", [("文字色(&M)", 405, True), ("背景色(&B)", 406, True), ("Windowsの終了(&S)", 407, False)]),
    ("ヘルプ(&H)", [("バージョン情報(&I)", 408, True)]),
]

ALREADY_RUNNING = "すでに同じプログラムが起動しています"
DLL_MISSING = "VBMP3.DLLが見つかりません"

# A point of the form's client area that no control covers.
FREE_POINT = (500, 50)


def rect_of(c):
    r = c["rect"]
    return r["left"], r["top"], r["width"], r["height"]


class MainWindowTest(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()
        self.a = self.app(dll="fake")

    def test_window_frame(self):
        w = self.a.window()
        self.assertEqual((w["class"], w["caption"]), ("TForm1", "Vantrel"))
        self.assertEqual((w["client_width"], w["client_height"]), (602, 470))
        self.assertTrue(w["visible"] and w["enabled"] and w["has_menu"])
        self.assertEqual(w["owner"], 0)
        style = w["style"]
        self.assertEqual(style & WS_CAPTION, WS_CAPTION)
        self.assertTrue(style & WS_SYSMENU, "system menu")
        self.assertTrue(style & WS_MINIMIZEBOX, "minimise box")
        self.assertFalse(style & WS_MAXIMIZEBOX, "no maximise box")
        self.assertFalse(style & WS_THICKFRAME, "fixed border")

    def test_controls_in_place_with_captions_and_states(self):
        c = self.a.controls()
        for name, cls, left, top, width, height, text, enabled in CONTROLS:
            with self.subTest(name):
                self.assertIn(name, c, "control missing")
                k = c[name]
                self.assertEqual(k["class"].lower(), cls.lower())
                want = (left, top, width, height)
                got = tuple(g if w is not None else None for g, w in zip(rect_of(k), want))
                self.assertEqual(got, want)
                if text is not None:
                    self.assertEqual(k["text"], text)
                self.assertEqual(k["enabled"], enabled)
                self.assertTrue(k["visible"])
        for name, text in LABELS.items():
            with self.subTest(name):
                self.assertIn(name, c, "label missing")
                self.assertEqual((c[name]["class"].lower(), c[name]["text"], c[name]["visible"]), ("static", text, True))

    def test_control_states(self):
        c = self.a.controls()
        tb = c["TrackBar1"]
        self.assertEqual((tb["pos"], tb["min"], tb["max"]), (50, 0, 100))
        self.assertTrue(c["CheckBox1"]["checkable"])
        self.assertEqual(c["CheckBox1"]["check"], 0)
        memo = c["Memo1"]
        self.assertTrue(memo["multiline"] and memo["readonly"])
        self.assertEqual(memo["style"] & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL | WS_HSCROLL)
        for n in range(1, 7):
            with self.subTest("Edit%d" % n):
                self.assertTrue(c["Edit%d" % n]["readonly"])
        self.assertEqual(c["Label13"]["align"], "right")
        for n in range(1, 9):
            with self.subTest("ProgressBar%d" % n):
                self.assertEqual(c["ProgressBar%d" % n]["pos"], 0)

    def test_status_bar_docked_at_the_bottom(self):
        sb = self.a.control("StatusBar1")
        left, top, width, height = rect_of(sb)
        self.assertEqual(sb["class"].lower(), "msctls_statusbar32")
        self.assertEqual((left, width), (0, 602))
        self.assertEqual(top + height, 470, "bottom edge on the client area's bottom")
        self.assertEqual(height, 20)
        self.assertTrue(sb["simple"], "simple mode")
        self.assertTrue(sb["text_read"])
        self.assertEqual(self.a.status(), sb["text"])

    def test_menu_items_and_enabled_states(self):
        m = self.a.menus()
        self.assertTrue(m["has_menu"])
        self.assertEqual(m["pid"], self.a.proc.winpid, "read inside the program's own process")
        self.assertEqual([p["text"] for p in m["items"]], [p for p, _ in MENU])
        for (caption, items), popup in zip(MENU, m["items"]):
            with self.subTest(caption):
                self.assertTrue(popup["enabled"])
                got = [(i["text"], i["id"], i["enabled"]) for i in popup.get("items", [])]
                self.assertEqual(got, items)

    def test_about_box_three_times(self):
        screen = self.a.d.cmd("screen")
        seen = []
        for n in range(1, 4):
            with self.subTest(time=n):
                self.a.command("About1")
                box = self.wait(lambda: [b for b in self.a.windows(ABOUT_CLASS, children=True)
                                         if b["visible"] and b["hwnd"] not in seen], 15, "about box %d" % n)
                self.assertEqual(len(box), 1)
                box = box[0]
                seen.append(box["hwnd"])
                self.assertEqual(box["caption"], "バージョン情報")
                self.assertEqual((box["client_width"], box["client_height"]), (298, 203))
                self.assertFalse(box["style"] & WS_SYSMENU, "no system menu")
                self.assertEqual(box["owner"], self.a.hwnd)
                r = box["rect"]
                self.assertLessEqual(abs(r["left"] - (screen["width"] - r["width"]) // 2), 1, "centred across")
                self.assertLessEqual(abs(r["top"] - (screen["height"] - r["height"]) // 2), 1, "centred down")
                texts = [k["text"] for k in box["children"]]
                self.assertIn("Product Name Vantrel", texts)
                self.assertIn("Version 1.0", texts)
                ok = [k for k in box["children"] if k["id"] == 1 and k["class"].lower() == "button"]
                self.assertEqual(len(ok), 1, "one OK button with id 1")
                self.a.d.cmd("click", hwnd=ok[0]["hwnd"], how="post")
                self.wait(lambda: not [b for b in self.a.windows(ABOUT_CLASS) if b["visible"]], 15,
                          "the about box to close")
        boxes = self.a.windows(ABOUT_CLASS)
        self.assertEqual(sorted(b["hwnd"] for b in boxes), sorted(seen), "each About makes a new box, none destroyed")
        self.assertEqual([(b["visible"], b["owner"]) for b in boxes], [(False, self.a.hwnd)] * 3)
        self.assertTrue(self.a.window()["enabled"], "the main window works on")


class SingleInstanceTest(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()

    def test_second_instance_is_refused_while_the_first_runs_on(self):
        a = self.app(dll="fake")
        before = a.controls()
        second = a.launch()
        box = a.wait_box(pid=second.winpid)
        self.assertEqual((box["caption"], box["text"], box["icon"]), ("Vantrel", ALREADY_RUNNING, "stop"))
        self.assertEqual([b["id"] for b in box["buttons"]], [1])
        self.assertEqual(a.d.cmd("windows", **{"class": "TForm1", "pid": second.winpid})["windows"], [],
                         "the refused instance makes no main window")
        a.press(box)
        self.assertEqual(second.wait(), 255)
        self.assertTrue(a.proc.running())
        self.assertTrue(a.cmd("sync")["ok"], "the first instance still answers")
        self.assertEqual(a.boxes(), [])
        after = a.controls()
        self.assertEqual({k: (v["text"], v["enabled"], rect_of(v)) for k, v in after.items()},
                         {k: (v["text"], v["enabled"], rect_of(v)) for k, v in before.items()})

    def test_start_after_the_first_has_ended_passes_the_guard(self):
        a = self.app(dll="fake")
        a.command("Exit1")
        self.assertEqual(a.proc.wait(), 0)
        a.start()
        self.assertEqual(a.window()["caption"], "Vantrel")
        self.assertEqual(a.boxes(), [])


class StartAndCloseTest(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()

    def test_decoder_calls_at_start(self):
        a = self.app(dll="fake")
        self.wait(lambda: len(a.fake_log()) >= 2, 10, "the first decoder calls")
        log = a.fake_log()
        self.assertEqual(["%s(%s)" % (e["fn"], e["args"]) for e in log[:2]], ["vbmp3_setVolume(50,50)", "vbmp3_init()"])
        self.assertEqual(log[1]["result"], "1")

    def test_close_ends_with_vbmp3_free(self):
        for how in ("menu Exit1", "WM_CLOSE"):
            with self.subTest(how):
                a = self.app(dll="fake")
                self.wait(lambda: any(e["fn"] == "vbmp3_init" for e in a.fake_log()), 10, "vbmp3_init")
                if how == "WM_CLOSE":
                    a.cmd("close")
                else:
                    a.command(401)
                self.assertEqual(a.proc.wait(), 0)
                log = a.fake_log()
                frees = [i for i, e in enumerate(log) if e["fn"] == "vbmp3_free"]
                self.assertEqual(len(frees), 1, a.calls())
                self.assertEqual(frees[0], len(log) - 1, "nothing after vbmp3_free: %s" % a.calls()[-3:])

    def test_runs_on_without_vbmp3_dll(self):
        a = self.app(dll=None, start=False)
        a.start(wait_window=False)
        box = a.wait_box(DLL_MISSING, timeout=30)
        self.assertTrue(box["text"].startswith(DLL_MISSING), box["text"])
        self.assertEqual(len(a.boxes()), 1, "one box at a time")
        a.press(box)
        a.find_main()
        self.assertTrue(a.cmd("sync")["ok"])
        # Watch a while for a second complaint.
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline:
            self.assertEqual(a.boxes(), [], "the missing library is reported once")
            time.sleep(0.2)
        self.assertTrue(a.proc.running())
        self.assertTrue(a.window()["visible"])


class DropTest(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()

    def track(self, a, name):
        path = os.path.join(a.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(b"\xff\xfb\x90\x00" + b"\x00" * 413)
        return path

    def test_drop_is_refused_while_playing(self):
        a = self.app(dll="fake", fake_ini="seconds=60\n")
        first, second = self.track(a, "first.mp3"), self.track(a, "second.mp3")
        rep = a.drop([first], *FREE_POINT)
        self.assertTrue(rep["accepted"] and rep["finished"], rep)
        self.wait(lambda: a.memo()["lines"] == [winpath(first)], 15, "the first track listed")
        a.click("Button1")
        self.wait(lambda: any(e["fn"] == "vbmp3_play" and e["result"] == "1" for e in a.fake_log()), 15, "playing")
        rep = a.drop([second], *FREE_POINT)
        self.assertFalse(rep["accepted"], "the drop target refuses while playing: %r" % rep)
        self.assertFalse(rep["finished"])
        a.barrier()
        self.assertEqual(a.memo()["lines"], [winpath(first)])
        self.assertEqual(a.text("Label13"), "1曲")

    def test_three_dropped_files_arrive_in_order(self):
        a = self.app(dll="fake")
        files = [self.track(a, "with space.mp3"), self.track(a, "曲名テスト.mp3"),
                 self.track(a, os.path.join("long" + "x" * 120, "y" * 130 + ".mp3"))]
        self.assertGreater(len(winpath(files[2])), 254)
        rep = a.drop(files, *FREE_POINT)
        self.assertTrue(rep["accepted"], rep)
        self.assertTrue(rep["finished"], rep)
        want = [winpath(f) for f in files]
        self.wait(lambda: a.memo()["lines"] == want, 15, lambda: "the three paths in Memo1 (has %r)" % a.memo()["lines"])
        self.wait(lambda: a.text("Label13") == "3曲", 10, "Label13 to say 3曲")
