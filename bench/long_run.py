#!/usr/bin/python3
"""Long run of tolvana-decode with every output on.

Part 1, traffic: tolvana-testsignal --stream makes mixed traffic on both
channels minute by minute (a day of 22050 Hz stereo is 7.6 GB, so it never
touches the disk) and pipes it into tolvana-decode --raw - at full speed. The
data folder has every output switched on: daily logs, status files of known
vehicles (the FMS identities come from its Fzg.txt), the TCP export to a
receiver in this script, the local-message export to a local socket here,
an action program that appends its arguments to a file, and the HTML page.
Checked: every transmission sent is on standard output, in the logs, at the
TCP and local-message receivers and, where the hand-off starts it, in the
action file; the status files hold each vehicle's last status; the page was
written. tolvana-decode's memory is sampled all along.

Part 2, junk: noise, silence, clipping and DC on both channels (--junk); not
a single reception may come out.

Exit code 0 when every check passed, 1 otherwise. bench/long_run.sh runs it.
"""

import argparse
import collections
import datetime
import glob
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
START = datetime.datetime(2026, 1, 5, 0, 0, 0)  # the recording clock: a Monday, midnight
BEGIN_MARK = "<!-- long_run: begin -->"
END_MARK = "<!-- long_run: end -->"
VEHICLES = 200
BYTES_PER_SECOND = benchlib.SAMPLE_RATE * 2 * 2


def progress(message):
    print(f"[{datetime.datetime.now():%H:%M:%S}] {message}", file=sys.stderr, flush=True)


# --- the receivers ------------------------------------------------------------

class TcpReceiver(threading.Thread):
    """Takes the TCP export's connections and keeps every byte."""

    def __init__(self):
        super().__init__(daemon=True)
        # Mon.ini keeps the port as a signed 16-bit number: stay below 32768.
        rng = random.Random()
        for _ in range(100):
            self.port = rng.randrange(20000, 32768)
            try:
                self.server = socket.create_server(("127.0.0.1", self.port))
                break
            except OSError:
                continue
        else:
            benchlib.fail("no free TCP port between 20000 and 32767")
        self.data = bytearray()
        self.connections = 0
        self.lock = threading.Lock()

    def run(self):
        while True:
            try:
                conn, _ = self.server.accept()
            except OSError:
                return
            self.connections += 1
            threading.Thread(target=self._read, args=(conn,), daemon=True).start()

    def _read(self, conn):
        with conn:
            while chunk := conn.recv(65536):
                with self.lock:
                    self.data += chunk

    def lines(self):
        with self.lock:
            text = bytes(self.data).decode("cp1252")
        # Lines have no terminator: each ends with its end mark "#+".
        return [line + "#+" for line in text.split("#+")[:-1]]

    def stop(self):
        self.server.close()


class LocalMessageReceiver(threading.Thread):
    """The local-message export's server: one connection per line, the
    Windows-1252 bytes and a zero byte."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path = path
        self.server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.server.bind(path)
        self.server.listen(64)
        self.messages = []

    def run(self):
        while True:
            try:
                conn, _ = self.server.accept()
            except OSError:
                return
            with conn:
                data = bytearray()
                while chunk := conn.recv(4096):
                    data += chunk
            self.messages.append(bytes(data).split(b"\0", 1)[0].decode("cp1252"))

    def stop(self):
        self.server.close()


class Sampler(threading.Thread):
    """Samples tolvana-decode's memory, the audio it has read, and when the
    status page changed."""

    def __init__(self, pid, page, interval=0.02):
        super().__init__(daemon=True)
        self.pid, self.page, self.interval = pid, page, interval
        self.samples = []  # (audio seconds read, VmRSS kB, VmHWM kB)
        self.page_writes = 0
        self.done = threading.Event()

    def run(self):
        last_mtime = None
        while not self.done.wait(self.interval):
            try:
                with open(f"/proc/{self.pid}/status") as f:
                    status = dict(line.split(":", 1) for line in f if ":" in line)
                with open(f"/proc/{self.pid}/io") as f:
                    io = dict(line.split(":", 1) for line in f if ":" in line)
            except OSError:
                return
            if "VmRSS" not in status or "VmHWM" not in status:
                return  # ended: a zombie has no memory left to show
            rss = int(status["VmRSS"].split()[0])
            hwm = int(status["VmHWM"].split()[0])
            self.samples.append((int(io["rchar"]) / BYTES_PER_SECOND, rss, hwm))
            try:
                mtime = os.stat(self.page).st_mtime_ns
                if mtime != last_mtime:
                    last_mtime = mtime
                    self.page_writes += 1
            except OSError:
                pass


# --- the data folder ------------------------------------------------------------

def kennungs(count, seed):
    """Plausible FMS identities: no zero among the place and vehicle digits."""
    rng = random.Random(seed)
    out = set()
    while len(out) < count:
        out.add("6" + rng.choice("123456789ABCDEF") + "".join(rng.choice("123456789") for _ in range(6)))
    return sorted(out)


def write_cp1252(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1252"))


def make_home(home, fleet, action, tcp_port, local_socket):
    os.makedirs(home)
    settings = ["0"]                                       # deviceIndex
    settings += [str(c) for c in (12648384, 12648447, 12632319, 8438015, 16761024,
                                  15790320, 16777215, 16711935, 16777088)]  # status colours
    settings += ["0", action, "", "", "", "", "0"]          # import, action, FTP, permanent line
    settings += ["1", "127.0.0.1", str(tcp_port), "1"]     # HTML page, TCP export
    settings += ["1", local_socket, "0"]                   # local message, board size
    settings += ["1"] * 6                                  # decoder switches
    write_cp1252(os.path.join(home, "Mon.ini"), settings)
    write_cp1252(os.path.join(home, "Fzg.txt"),
                 [f"RTW {i + 1}\tWache {i // 10 + 1}\t{k}" for i, k in enumerate(fleet)])


def write_action(path, out):
    # Arguments joined by TAB, one line per start; a short append is one
    # write, so starts that run at the same time do not mix their lines.
    with open(path, "w") as f:
        f.write("#!/bin/sh\n"
                f"IFS=\"$(printf '\\t')\"\nprintf '%s\\n' \"$*\" >> '{out}'\n")
    os.chmod(path, 0o755)


# --- what should have come out ------------------------------------------------

def fields(line):
    """An export line "##KIND#a#b#...#+" as its kind and fields."""
    parts = line[2:-2].split("#")
    return parts[0], parts[1:]


def expected_actions(decoded, fleet):
    known = set(fleet)
    out = []
    for _, line in decoded:
        kind, f = fields(line)
        if kind == "FMS":
            status, richtung = int(f[1]), int(f[2][1])
            if f[0] in known and status < 10 and richtung == 0:
                out.append(f"FMS\t{f[0]}")
        elif kind == "ZVEI":
            out.append(f"ZVEI\t{f[0]}")
        elif kind == "POC":
            out.append(f"POC\t{f[0]}\t{f[1]}\t{f[2]}")
    return out


def log_rows(home, prefix):
    rows = []
    for path in sorted(glob.glob(os.path.join(home, "Logbuch", f"{prefix}-*.txt"))):
        with open(path, "rb") as f:
            text = f.read().decode("cp1252")
        rows += [line.split("\t") for line in text.split("\r\n") if line]
    return rows


def log_keys(home):
    """What the daily logs hold, in the form the export lines give."""
    keys = collections.Counter()
    for r in log_rows(home, "FMS"):
        keys[("FMS", r[2])] += 1
    for r in log_rows(home, "zvei"):
        keys[("ZVEI", r[0])] += 1
    for r in log_rows(home, "poc"):
        keys[("POC", r[0], r[1], r[4])] += 1
    return keys


def export_keys(decoded):
    keys = collections.Counter()
    for _, line in decoded:
        kind, f = fields(line)
        keys[(kind, f[0]) if kind in ("FMS", "ZVEI") else (kind, f[0], f[1], f[2])] += 1
    return keys


def status_files(home, fleet, decoded):
    """Each vehicle's last own status 1..9 (but 5) against its status file."""
    index = {k: i for i, k in enumerate(fleet)}
    last = {}
    for _, line in decoded:
        kind, f = fields(line)
        if kind == "FMS" and f[0] in index:
            status, tki, richtung = int(f[1]), f[2][0], int(f[2][1])
            if 1 <= status <= 9 and status != 5 and richtung == 0:
                last[index[f[0]]] = (str(status), tki)
    wrong = []
    for i, (status, tki) in last.items():
        try:
            with open(os.path.join(home, "Status", f"{i}.txt"), "rb") as f:
                cells = f.read().decode("cp1252").rstrip("\r\n").split("\t")
        except OSError:
            cells = []
        if cells[:2] != [status, tki] or not re.fullmatch(r"\d\d\.\d\d\. \d\d:\d\d", cells[2] if len(cells) > 2 else ""):
            wrong.append(i)
    return len(last), wrong


def difference(a, b):
    """Counts of what `a` has beyond `b` and `b` beyond `a` (multisets)."""
    a, b = collections.Counter(a), collections.Counter(b)
    return sum((a - b).values()), sum((b - a).values())


# --- the runs -----------------------------------------------------------------

def run_decoder(programs, generator_args, home, out_path):
    """Generator piped into tolvana-decode; returns both runs and the sampler."""
    gen_rss = out_path + ".generator-rss"
    dec_rss = out_path + ".decoder-rss"
    gen = subprocess.Popen(benchlib.measured(generator_args, gen_rss), stdout=subprocess.PIPE)
    with open(out_path, "w") as out:
        started = time.monotonic()
        dec = subprocess.Popen(benchlib.measured([programs.decode, "--home", home, "--raw", "--start",
                                                  START.strftime("%Y-%m-%d %H:%M:%S"), "-"], dec_rss),
                               stdin=gen.stdout, stdout=out)
        gen.stdout.close()
        sampler = Sampler(decoder_pid(dec.pid), os.path.join(home, "status.html"))
        sampler.start()
        decoder = benchlib.finish(dec, started, dec_rss)
        sampler.done.set()
        sampler.join()
    generator = benchlib.finish(gen, started, gen_rss)
    return decoder, generator, sampler


def decoder_pid(time_pid):
    """tolvana-decode's own process below GNU time."""
    for _ in range(200):
        try:
            with open(f"/proc/{time_pid}/task/{time_pid}/children") as f:
                children = f.read().split()
            if children:
                return int(children[0])
        except OSError:
            break
        time.sleep(0.01)
    benchlib.fail("cannot find tolvana-decode's process below GNU time")


def wait_for_lines(path, want, settle=3.0, limit=120.0):
    """Detached action programs may still be running: wait until the file
    holds `want` lines or stops growing."""
    deadline = time.monotonic() + limit
    last, last_change = -1, time.monotonic()
    while time.monotonic() < deadline:
        try:
            with open(path, encoding="utf-8") as f:
                n = sum(1 for _ in f)
        except OSError:
            n = 0
        if n >= want:
            return
        if n != last:
            last, last_change = n, time.monotonic()
        elif time.monotonic() - last_change > settle:
            return
        time.sleep(0.2)


def memory_points(samples, seconds):
    """Peak RSS at half of the audio and at the end; the series at each
    tenth. The reference is taken at half time because the grids keep their
    newest 5000 rows each: memory rises until they are full (some seven hours
    of this traffic) and must stay flat from then on."""
    if not samples:
        return None, None, []
    mark = seconds / 2.0
    start = next((s for s in samples if s[0] >= mark), samples[-1])
    series = []
    for tenth in range(1, 11):
        s = next((s for s in samples if s[0] >= seconds * tenth / 10.0 - 1.0), samples[-1])
        series.append(s)
    return start, samples[-1], series


def traffic_run(programs, work, seconds, snr, seed):
    home = os.path.join(work, "traffic-home")
    fleet = kennungs(VEHICLES, seed)
    fleet_file = os.path.join(work, "fleet.txt")
    with open(fleet_file, "w") as f:
        f.write("".join(k + "\n" for k in fleet))
    action_out = os.path.join(work, "actions.txt")
    action = os.path.join(work, "action.sh")
    write_action(action, action_out)
    tcp = TcpReceiver()
    local = LocalMessageReceiver(os.path.join(work, "local-message.sock"))
    make_home(home, fleet, action, tcp.port, local.path)
    tcp.start()
    local.start()

    expect = os.path.join(work, "traffic-expected.txt")
    generator = [programs.testsignal, "--stream", "--seconds", str(seconds), "--seed", str(seed),
                 "--kennungs", fleet_file, "--expect", expect]
    if snr is not None:
        generator += ["--snr", str(snr)]
    generator.append("-")
    out = os.path.join(work, "traffic-decoded.txt")
    progress(f"traffic: {seconds / 3600:g} h of stereo into tolvana-decode")
    decoder, gen, sampler = run_decoder(programs, generator, home, out)

    with open(out, encoding="utf-8") as f:
        decoded = benchlib.parse_tolvana(f.read())
    expected = benchlib.read_expected(expect)
    actions_want = expected_actions(decoded, fleet)
    progress(f"traffic: decoded; waiting for {len(actions_want)} action lines")
    wait_for_lines(action_out, len(actions_want))
    time.sleep(1.0)
    tcp.stop()
    local.stop()

    receptions = [line for _, line in decoded if line.startswith("##")]
    with open(action_out, encoding="utf-8") if os.path.exists(action_out) else open(os.devnull) as f:
        actions_got = [line.rstrip("\n") for line in f]
    vehicles, wrong_status = status_files(home, fleet, decoded)
    page = os.path.join(home, "status.html")
    page_text = open(page, "rb").read().decode("cp1252") if os.path.exists(page) else ""
    last_zvei = next((fields(l)[1][0] for _, l in reversed(decoded) if l.startswith("##ZVEI#")), None)
    last_ric = next((fields(l)[1][0] for _, l in reversed(decoded) if l.startswith("##POC#")), None)

    r = {"seconds": seconds, "decoder": decoder, "generator": gen, "sampler": sampler,
         "expected": len(expected), "decoded": len(decoded), "kinds": collections.Counter(
             fields(line)[0] for _, line in expected),
         "tcp_connections": tcp.connections}
    r["checks"] = [
        ("tolvana-decode ended normally", decoder.returncode == 0 and gen.returncode == 0,
         f"exit codes {decoder.returncode} (decoder), {gen.returncode} (generator)"),
        ("standard output: every transmission sent, nothing else", difference(expected, decoded) == (0, 0),
         "missing {}, extra {}".format(*difference(expected, decoded))),
        ("daily logs: every reception", difference(export_keys(decoded), log_keys(home)) == (0, 0),
         "missing {}, extra {}".format(*difference(export_keys(decoded), log_keys(home)))),
        ("TCP receiver: every export line", difference(receptions, tcp.lines()) == (0, 0),
         "missing {}, extra {} ({} connection(s))".format(*difference(receptions, tcp.lines()), tcp.connections)),
        ("local-message receiver: every export line", difference(receptions, local.messages) == (0, 0),
         "missing {}, extra {}".format(*difference(receptions, local.messages))),
        ("action program: one start per new call, message and own status of a known vehicle",
         difference(actions_want, actions_got) == (0, 0),
         "{} expected, missing {}, extra {}".format(len(actions_want), *difference(actions_want, actions_got))),
        ("status files: each vehicle's last status and TKI", not wrong_status,
         f"{vehicles} vehicles reported a status, {len(wrong_status)} files wrong"),
        ("status page written, showing the last call and message",
         sampler.page_writes > 0 and (last_zvei is None or last_zvei in page_text)
         and (last_ric is None or last_ric in page_text),
         f"written {sampler.page_writes} times or more"),
    ]
    r["checks"].append(memory_check(sampler, decoder, seconds, kinds=r["kinds"]))
    r["actions"] = len(actions_got)
    return r


def memory_check(sampler, decoder, seconds, kinds=None):
    """Flat memory: the peak at the end no more than 10 % and 2 MB above the
    peak at half of the audio."""
    start, _, _ = memory_points(sampler.samples, seconds)
    if start is None:
        return ("memory flat", False, "no memory samples")
    growth = decoder.max_rss_kb - start[2]
    ok = growth <= start[2] * 0.10 + 2048
    detail = (f"peak {mb(start[2])} at half time, {mb(decoder.max_rss_kb)} at the end: "
              f"{growth / 1024:+.1f} MB, {growth / 1024 / (seconds * 0.5 / 3600):+.2f} MB per hour of audio")
    if kinds and not ok:
        lists = kinds["ZVEI"] + kinds["POC"]
        detail += f" ({growth / max(lists, 1) * 1024:.0f} bytes per five-tone call and page)"
    return ("memory flat", ok, detail)


def junk_run(programs, work, seconds, seed):
    home = os.path.join(work, "junk-home")
    os.makedirs(home)
    out = os.path.join(work, "junk-decoded.txt")
    progress(f"junk: {seconds / 3600:g} h of noise, silence, clipping and DC")
    decoder, gen, sampler = run_decoder(
        programs, [programs.testsignal, "--junk", "--seconds", str(seconds), "--seed", str(seed), "-"], home, out)
    with open(out, encoding="utf-8") as f:
        decoded = f.read().splitlines()
    logged = sum(len(log_rows(home, p)) for p in ("FMS", "zvei", "poc"))
    return {"seconds": seconds, "decoder": decoder, "generator": gen, "sampler": sampler,
            "decoded": decoded,
            "checks": [
                ("tolvana-decode ended normally", decoder.returncode == 0 and gen.returncode == 0,
                 f"exit codes {decoder.returncode} (decoder), {gen.returncode} (generator)"),
                ("no reception at all", not decoded and logged == 0,
                 f"{len(decoded)} printed, {logged} logged" + (": " + "; ".join(decoded[:5]) if decoded else "")),
                memory_check(sampler, decoder, seconds),
            ]}


# --- the report ----------------------------------------------------------------

def hours(seconds):
    return f"{seconds / 3600:g} h"


def mb(kb):
    return f"{kb / 1024:.1f} MB"


def report(traffic, junk, info):
    lines = []
    add = lines.append
    add(f"Run {info['date']} on {info['cpu']}, {info['cores']} cores, {info['os']}; tolvana {info['commit']}; "
        f"load average before {info['load_before']}, after {info['load_after']}.")
    add("")
    add("| run | audio | wall time | tolvana-decode CPU | speed | generator CPU | receptions | "
        "peak RSS at half time | peak RSS at the end | result |")
    add("|---|--:|--:|--:|--:|--:|--:|--:|--:|---|")
    for name, r in (("mixed traffic, all outputs", traffic), ("noise, silence, clipping, DC", junk)):
        if r is None:
            continue
        d, g, s = r["decoder"], r["generator"], r["sampler"]
        start, _, _ = memory_points(s.samples, r["seconds"])
        count = r["decoded"] if isinstance(r["decoded"], int) else len(r["decoded"])
        ok = all(c[1] for c in r["checks"])
        add(f"| {name} | {hours(r['seconds'])} | {d.wall:.0f} s | {d.cpu:.0f} s | "
            f"{r['seconds'] / d.wall:.0f}x real time | {g.cpu:.0f} s | {count} | "
            f"{mb(start[2]) if start else '–'} | {mb(d.max_rss_kb)} | "
            f"{'passed' if ok else 'FAILED'} |")
    add("")
    if traffic is not None:
        kinds = traffic["kinds"]
        add(f"Traffic sent: {traffic['expected']} transmissions ({kinds['FMS']} FMS, {kinds['ZVEI']} ZVEI, "
            f"{kinds['POC']} POCSAG), {traffic['actions']} action starts, "
            f"{traffic['tcp_connections']} TCP connection(s).")
        add("")
        _, _, series = memory_points(traffic["sampler"].samples, traffic["seconds"])
        if series:
            add("Resident memory of tolvana-decode at each tenth of the traffic run (audio time: RSS / peak RSS): " +
                ", ".join(f"{f'{s[0] / 3600:.1f} h' if traffic['seconds'] >= 7200 else f'{s[0] / 60:.0f} min'}: "
                          f"{mb(s[1])} / {mb(s[2])}" for s in series) + ".")
            add("")
    add("| check | result | detail |")
    add("|---|---|---|")
    for r in (traffic, junk):
        if r is None:
            continue
        for name, ok, detail in r["checks"]:
            add(f"| {name} | {'passed' if ok else 'FAILED'} | {detail} |")
    return "\n".join(lines) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build_dir", nargs="?", default=os.path.join(ROOT, "build", "dev"),
                    help="build folder with tolvana-decode and tolvana-testsignal (default build/dev)")
    ap.add_argument("--hours", type=float, default=24.0, help="hours of traffic (default 24; 1 for a quick check)")
    ap.add_argument("--junk-hours", type=float, default=1.0,
                    help="hours of noise, silence, clipping and DC (default 1; 0 skips it)")
    ap.add_argument("--snr", type=float, help="white noise at this signal-to-noise ratio (default: none)")
    ap.add_argument("--seed", type=int, default=2026, help="seed of the generated audio (default 2026)")
    ap.add_argument("--keep", help="keep the data folders, outputs and receivers' files in this folder")
    ap.add_argument("--doc", nargs="?", const=os.path.join(ROOT, "docs", "performance.md"),
                    help="also write the results into this file (default docs/performance.md)")
    args = ap.parse_args()
    programs = benchlib.Programs.find(args.build_dir)

    info = benchlib.machine()
    info["load_before"] = "{:.2f} {:.2f} {:.2f}".format(*os.getloadavg())

    work = tempfile.mkdtemp(prefix="tolvana-long-run-")
    try:
        traffic = traffic_run(programs, work, args.hours * 3600.0, args.snr, args.seed) if args.hours > 0 else None
        junk = junk_run(programs, work, args.junk_hours * 3600.0, args.seed + 1) if args.junk_hours > 0 else None
        info["load_after"] = "{:.2f} {:.2f} {:.2f}".format(*os.getloadavg())
        text = report(traffic, junk, info)
        print(text)
        if args.doc:
            with open(args.doc, encoding="utf-8") as f:
                doc = f.read()
            begin, end = doc.find(BEGIN_MARK), doc.find(END_MARK)
            if begin < 0 or end < begin:
                benchlib.fail(f"{args.doc} has no {BEGIN_MARK} ... {END_MARK} block to replace")
            with open(args.doc, "w", encoding="utf-8") as f:
                f.write(doc[:begin + len(BEGIN_MARK)] + "\n" + text + doc[end:])
        passed = all(c[1] for r in (traffic, junk) if r is not None for c in r["checks"])
    finally:
        if args.keep:
            shutil.copytree(work, args.keep, dirs_exist_ok=True, ignore=shutil.ignore_patterns("*.sock"))
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(0 if passed else 1)


if __name__ == "__main__":
    main()
