#!/usr/bin/python3
"""Drops files onto an X window the way a Linux file manager does (XDND, text/uri-list).

Wine's X11 driver turns such a drop on a window that accepts files into a
genuine WM_DROPFILES in the Windows program.

    xdnd.py [--name Vantrel | --window 0x...] [--x X --y Y] FILE...

--x/--y are root (screen) coordinates; without them the centre of the window is
used. Prints one JSON line: found window, whether the target accepted the drop
(XdndStatus), whether the drop finished (XdndFinished) and its accept flag.
Exit code 0 when the drop was delivered and finished, 2 when the target
refused it, 1 on any other failure.
"""
import argparse
import json
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display, protocol

XDND_VERSION = 5


def uri_for(path):
    return "file://" + urllib.parse.quote(path, safe="/")


def window_name(d, w):
    try:
        net = w.get_full_property(d.intern_atom("_NET_WM_NAME"), d.intern_atom("UTF8_STRING"))
        if net and net.value:
            v = net.value
            return v.decode("utf-8", "replace") if isinstance(v, bytes) else str(v)
        n = w.get_wm_name()
        if isinstance(n, bytes):
            return n.decode("latin-1")
        return n
    except Exception:
        return None


def find_windows(d, name):
    """Top-level windows (children of the root, recursively) named `name` that are XdndAware."""
    aware = d.intern_atom("XdndAware")
    out = []

    def walk(w, depth):
        try:
            kids = w.query_tree().children
        except Exception:
            return
        for k in kids:
            try:
                attrs = k.get_attributes()
            except Exception:
                continue
            if attrs.map_state == X.IsViewable and window_name(d, k) == name:
                prop = k.get_full_property(aware, X.AnyPropertyType)
                out.append((k, prop.value[0] if prop else None))
            if depth < 3:
                walk(k, depth + 1)

    walk(d.screen().root, 0)
    return out


def root_geometry(d, w):
    g = w.get_geometry()
    t = w.translate_coords(d.screen().root, 0, 0)
    return -t.x, -t.y, g.width, g.height


def send_client(d, target, type_atom, data32, source):
    ev = protocol.event.ClientMessage(window=target, client_type=type_atom, data=(32, data32))
    target.send_event(ev, event_mask=X.NoEventMask)
    d.flush()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--name", default="Vantrel")
    ap.add_argument("--window", help="X window id instead of a name")
    ap.add_argument("--x", type=int)
    ap.add_argument("--y", type=int)
    ap.add_argument("--timeout", type=float, default=10.0)
    ap.add_argument("files", nargs="+")
    a = ap.parse_args()

    report = {"found": False, "accepted": None, "finished": False, "finished_accepted": None,
              "served": 0, "leave": False}
    d = display.Display()
    root = d.screen().root
    atoms = {n: d.intern_atom(n) for n in (
        "XdndAware", "XdndEnter", "XdndPosition", "XdndStatus", "XdndDrop", "XdndFinished",
        "XdndLeave", "XdndSelection", "XdndActionCopy", "XdndTypeList", "text/uri-list", "TARGETS")}

    if a.window:
        target = d.create_resource_object("window", int(a.window, 0))
        aware = target.get_full_property(atoms["XdndAware"], X.AnyPropertyType)
        version = aware.value[0] if aware else None
    else:
        found = find_windows(d, a.name)
        found = [f for f in found if f[1] is not None] or found
        if not found:
            report["error"] = "no window named %r" % a.name
            print(json.dumps(report))
            return 1
        target, version = found[0]
    report["found"] = True
    report["window"] = hex(target.id)
    report["xdnd_aware"] = version
    if version is None:
        report["error"] = "window is not XdndAware"
        print(json.dumps(report))
        return 1
    ver = min(XDND_VERSION, int(version))

    x, y, w, h = root_geometry(d, target)
    px = a.x if a.x is not None else x + w // 2
    py = a.y if a.y is not None else y + h // 2
    report["point"] = [px, py]
    report["window_geometry"] = [x, y, w, h]

    payload = "".join(uri_for(p) + "\r\n" for p in a.files).encode("utf-8")

    source = root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent, X.InputOutput,
                                X.CopyFromParent, event_mask=X.PropertyChangeMask)
    source.set_selection_owner(atoms["XdndSelection"], X.CurrentTime)
    d.flush()
    src = source.id

    send_client(d, target, atoms["XdndEnter"], [src, ver << 24, atoms["text/uri-list"], 0, 0], source)
    send_client(d, target, atoms["XdndPosition"],
                [src, 0, (px << 16) | (py & 0xFFFF), X.CurrentTime, atoms["XdndActionCopy"]], source)

    deadline = time.time() + a.timeout
    dropped = False
    while time.time() < deadline:
        if not d.pending_events():
            time.sleep(0.01)
            continue
        ev = d.next_event()
        if ev.type == X.SelectionRequest:
            prop = ev.property or ev.target
            if ev.target == atoms["TARGETS"]:
                ev.requestor.change_property(prop, Xatom.ATOM, 32, [atoms["TARGETS"], atoms["text/uri-list"]])
            elif ev.target == atoms["text/uri-list"]:
                ev.requestor.change_property(prop, atoms["text/uri-list"], 8, payload)
                report["served"] += 1
            else:
                prop = X.NONE
            notify = protocol.event.SelectionNotify(time=ev.time, requestor=ev.requestor, selection=ev.selection,
                                                    target=ev.target, property=prop)
            ev.requestor.send_event(notify)
            d.flush()
        elif ev.type == X.ClientMessage:
            fmt, data = ev.data
            if ev.client_type == atoms["XdndStatus"]:
                if report["accepted"] is None or not dropped:
                    report["accepted"] = bool(data[1] & 1)
                if not dropped:
                    dropped = True
                    if report["accepted"]:
                        send_client(d, target, atoms["XdndDrop"], [src, 0, X.CurrentTime, 0, 0], source)
                    else:
                        send_client(d, target, atoms["XdndLeave"], [src, 0, 0, 0, 0], source)
                        report["leave"] = True
                        break
            elif ev.client_type == atoms["XdndFinished"]:
                report["finished"] = True
                report["finished_accepted"] = bool(data[1] & 1) if ver >= 5 else None
                break
    else:
        report["error"] = "timed out"

    # Let the target fetch anything it still wants before the selection goes away.
    end = time.time() + 0.2
    while time.time() < end:
        while d.pending_events():
            ev = d.next_event()
            if ev.type == X.SelectionRequest and ev.target == atoms["text/uri-list"]:
                ev.requestor.change_property(ev.property or ev.target, atoms["text/uri-list"], 8, payload)
                ev.requestor.send_event(protocol.event.SelectionNotify(
                    time=ev.time, requestor=ev.requestor, selection=ev.selection, target=ev.target,
                    property=ev.property or ev.target))
                d.flush()
        time.sleep(0.02)
    source.destroy()
    d.flush()
    print(json.dumps(report))
    if report["finished"]:
        return 0
    if report["accepted"] is False:
        return 2
    return 1


if __name__ == "__main__":
    sys.exit(main())
