#!/usr/bin/python3
"""Starts the player under the e2e harness and hands its driver to you, for
trying commands out before writing a test:

    /usr/bin/python3 e2e/drive.py <win64-build-dir> [--dll fake|real|none] [--exe PATH]

Each line typed is a driver command (see e2e/README.md) sent with the main
window's hwnd; besides those:
    shot FILE           screenshot of the display
    drop [X Y] FILE...  drops files at client point X,Y (default: the centre)
    log                 the stand-in decoder's calls so far (without polls)
    ini TEXT            writes vbmp3_fake.ini (\\n for new lines)
    quit
"""
import argparse
import json
import os
import shlex
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--dll", default="fake", choices=["fake", "real", "none"])
    ap.add_argument("--exe")
    a = ap.parse_args()
    os.environ["VANTREL_E2E_BUILD"] = os.path.abspath(a.build)
    s = harness.session()
    app = harness.App(dll=None if a.dll == "none" else a.dll, exe=a.exe, sess=s)
    try:
        app.start(wait_window=False)
        try:
            app.find_main(timeout=5000)
        except harness.DriverError as e:
            print("no main window yet (%s); use 'find pid=%s' when it is there" % (e, app.proc.winpid))
        print("folder %s, Windows pid %s, display %s" % (app.folder, app.proc.winpid, s.display))
        for line in sys.stdin:
            line = line.strip()
            if not line:
                continue
            verb, _, rest = line.partition(" ")
            try:
                if verb == "quit":
                    break
                elif verb == "shot":
                    print(s.screenshot(rest or "shot.png"))
                elif verb == "drop":
                    words = shlex.split(rest)
                    if len(words) > 2 and words[0].isdigit() and words[1].isdigit():
                        print(json.dumps(app.drop(words[2:], int(words[0]), int(words[1]))))
                    else:
                        print(json.dumps(app.drop(words)))
                elif verb == "log":
                    print("\n".join(app.calls()))
                elif verb == "ini":
                    app.write_fake_ini(rest.replace("\\n", "\n") + "\n")
                else:
                    if app.hwnd and " hwnd=" not in " " + rest:
                        line += " hwnd=%d" % app.hwnd
                    with s.driver.lock:
                        s.driver.proc.stdin.write((line + "\n").encode("utf-8"))
                        s.driver.proc.stdin.flush()
                        ans = s.driver._readline(60)
                    if verb == "find" and ans.get("ok"):
                        app.main = ans["window"]
                        app.hwnd = app.main["hwnd"]
                    print(json.dumps(ans, ensure_ascii=False, indent=1))
            except Exception as e:
                print("error: %s" % e)
            sys.stdout.flush()
    finally:
        app.close()
        harness.close_session()


if __name__ == "__main__":
    main()
