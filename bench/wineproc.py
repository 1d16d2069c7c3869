"""Figures of a Windows program running under Wine, read from the Linux side,
and the short tracks the benchmarks and the soak test play.

Under Wine a Windows process is one Linux process (the harness starts each
program as its own child, so the Popen pid is that process): its CPU time,
memory and open file descriptors are in /proc/<pid>. The Windows handle count
comes from vhandles.exe (bench/vhandles.cpp), a small helper kept running
beside the driver.
"""
import os
import shutil
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
WINE64 = "/usr/lib/wine/wine64"
CLK_TCK = os.sysconf("SC_CLK_TCK")


# ---- CPU

def cpu_seconds(pid):
    """utime + stime of a Linux process (all its threads), in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # fields[0] is the state (field 3); utime and stime are fields 14 and 15.
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def wineserver_pids(prefix):
    """Linux pids of the wineserver serving `prefix` (found through the prefix's
    server folder in /tmp/.wine-<uid>, which the server keeps open as its cwd)."""
    want = None
    try:
        st = os.stat(prefix)
        want = "server-%x-%x" % (st.st_dev, st.st_ino)
    except OSError:
        return []
    out = []
    for d in os.listdir("/proc"):
        if not d.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % d) as f:
                if not f.read().strip().startswith("wineserver"):
                    continue
            cwd = os.readlink("/proc/%s/cwd" % d)
        except OSError:
            continue
        if os.path.basename(cwd) == want:
            out.append(int(d))
    return out


# ---- memory and descriptors

def memory(pid):
    """VmRSS, VmSize and the private (Private_Clean + Private_Dirty) and
    anonymous memory of a process, in KiB."""
    m = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            k, _, v = line.partition(":")
            if k in ("VmRSS", "VmSize", "VmHWM", "RssAnon", "RssFile"):
                m[k] = int(v.split()[0])
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            k, _, v = line.partition(":")
            if k in ("Private_Clean", "Private_Dirty", "Anonymous", "Pss", "Rss"):
                m[k] = int(v.split()[0])
    m["Private"] = m.get("Private_Clean", 0) + m.get("Private_Dirty", 0)
    return m


def memory_by_kind(pid, program_dir=None):
    """Private dirty memory (KiB: pages this process has written, which no
    other process shares) by what is mapped: the program's own
    files (under program_dir), Wine's Windows DLLs, Wine's Unix libraries,
    other shared libraries (sound, X, fonts' rasteriser...), other files and anonymous
    memory (the Windows heaps and stacks, and Wine's own)."""
    kinds = {"program": 0, "wine_dlls": 0, "wine_unix": 0, "other_libs": 0, "other_files": 0, "anonymous": 0}
    kind = "anonymous"
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            head = line.split(None, 5)
            if len(head) >= 5 and "-" in head[0] and ":" not in head[0]:
                path = head[5].strip() if len(head) == 6 else ""
                if not path or path.startswith("["):
                    kind = "anonymous"
                elif program_dir and path.startswith(os.path.abspath(program_dir) + "/"):
                    kind = "program"
                elif "/wine/" in path:
                    kind = "wine_unix" if path.endswith(".so") else "wine_dlls"
                elif ".so" in os.path.basename(path):
                    kind = "other_libs"
                else:
                    kind = "other_files"
                continue
            k, _, v = line.partition(":")
            if k == "Private_Dirty":
                kinds[kind] += int(v.split()[0])
    return kinds


def thread_cpu(pid):
    """{thread name (with tid): CPU seconds} of a process's threads."""
    out = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/comm" % (pid, tid)) as f:
                name = f.read().strip()
            with open("/proc/%d/task/%s/stat" % (pid, tid)) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            out["main thread" if int(tid) == pid else "%s/%s" % (name, tid)] = (int(fields[11]) + int(fields[12])) / CLK_TCK
        except OSError:
            pass
    return out


def fd_count(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def mib(kib):
    return kib / 1024.0


# ---- Windows handle counts

def helper_exe(build):
    """bench/vhandles.exe of the build (bench/CMakeLists.txt), or built here
    with mingw-w64 into <build>/bench when the build has no target for it."""
    for p in (os.path.join(build, "bench", "vhandles.exe"), os.path.join(build, "bin", "vhandles.exe")):
        if os.path.exists(p) and os.path.getmtime(p) >= os.path.getmtime(os.path.join(HERE, "vhandles.cpp")):
            return p
    out = os.path.join(build, "bench", "vhandles.exe")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    subprocess.run(["x86_64-w64-mingw32-g++", "-O2", "-static", "-o", out,
                    os.path.join(HERE, "vhandles.cpp"), "-luser32"], check=True)
    return out


class HandleCounter:
    """vhandles.exe kept running: count(winpid) -> (handles, windows)."""

    def __init__(self, build, env, cwd):
        self.proc = subprocess.Popen([WINE64, helper_exe(build)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, env=env, cwd=cwd)

    def count(self, winpid):
        self.proc.stdin.write(b"%d\n" % winpid)
        self.proc.stdin.flush()
        line = self.proc.stdout.readline().decode().split()
        if len(line) != 3:
            raise RuntimeError("vhandles.exe answered %r" % line)
        return tuple(int(x) for x in line[1:])

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"\n")
                self.proc.stdin.flush()
                self.proc.wait(10)
            except Exception:
                self.proc.kill()
                self.proc.wait()


# ---- tracks

def make_track(path, seconds, freqs=(220, 330, 440), title=None, artist="Vantrel ソーク"):
    """A short stereo 128 kbit/s MP3 of a chord over a little noise (sound in
    every band the spectrum shows), with a UTF-16 title when given."""
    tmp = tempfile.mkdtemp(prefix="trk-")
    try:
        wav = os.path.join(tmp, "t.wav")
        synth = ["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds)]
        for f in freqs:
            synth += ["sine", str(f)]
        synth += ["pinknoise", "gain", "-n", "-3"]
        subprocess.run(synth, check=True)
        cmd = ["lame", "--quiet", "-b", "128", "--id3v2-utf16", "--ta", artist]
        if title:
            cmd += ["--tt", title]
        subprocess.run(cmd + [wav, path], check=True)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return path


def make_list(folder, count, seconds=(1.0, 1.2, 1.5)):
    """`count` tracks in `folder`: a few files made once, copied under
    count names (some with spaces and Japanese). Returns the paths in order."""
    os.makedirs(folder, exist_ok=True)
    bases = []
    for n, s in enumerate(seconds):
        p = os.path.join(folder, ".base%d.mp3" % n)
        make_track(p, s, freqs=(110 * (n + 2), 165 * (n + 2), 523), title="ソーク %d" % n)
        bases.append(p)
    names = []
    for i in range(1, count + 1):
        name = ("%03d 曲.mp3" if i % 3 == 0 else "t%03d.mp3") % i
        p = os.path.join(folder, name)
        shutil.copyfile(bases[i % len(bases)], p)
        names.append(p)
    for b in bases:
        os.unlink(b)
    return names


# ---- following a list through

END_TEXT = "終了しました"


def follow_list(app, paths, on_entry=None, per_entry=8.0, poll=0.1):
    """After Play: watches the file-name field (Edit6) until the status line says
    playback has ended with the field cleared. Calls on_entry(index, path) when
    the field shows another path. Returns (paths seen in order, boxes seen).
    A message box of the program ends the watch (it is left open)."""
    import time
    seen = []
    deadline = time.monotonic() + 30 + per_entry * len(paths)
    while True:
        boxes = app.boxes()
        path = app.text("Edit6")
        if boxes:
            if path and (not seen or seen[-1] != path):
                seen.append(path)
            return seen, boxes
        if path and (not seen or seen[-1] != path):
            seen.append(path)
            if on_entry:
                on_entry(len(seen) - 1, path)
        if not path and app.status() == END_TEXT and app.text("Edit6") == "":
            return seen, []
        if time.monotonic() > deadline:
            raise AssertionError("the list did not end in time: %d of %d entries seen, status %r" % (
                len(seen), len(paths), app.status()))
        if not app.proc.running():
            raise AssertionError("the program ended (exit %s) after %d entries" % (app.proc.popen.poll(), len(seen)))
        time.sleep(poll)
