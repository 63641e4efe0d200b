"""Shared pieces of the comparison and long-run scripts: finding the
programs, running them with their CPU time and peak memory, and reading what
tolvana-decode and multimon-ng print into one form, the export line, so that
both can be scored against the receptions tolvana-testsignal says it sent.

Debian's Python 3 standard library only; no packages.
"""

import array
import collections
import dataclasses
import datetime
import os
import platform
import re
import subprocess
import sys
import tempfile
import time
import wave

SAMPLE_RATE = 22050

MULTIMON = "multimon-ng"
# Every demodulator of the signals tolvana decodes. Raw input is mono
# 16-bit at 22050 Hz. "-f alpha": the test traffic is all alphanumeric, and
# without it multimon-ng shows function 0 as digits. "-C DE": the German
# 7-bit characters as umlauts, as tolvana shows them.
MULTIMON_DEMODS = ["FMSFSK", "ZVEI1", "POCSAG512", "POCSAG1200", "POCSAG2400"]
MULTIMON_OPTIONS = ["-q", "-t", "raw", "-f", "alpha", "-C", "DE"]


def fail(message):
    print(f"error: {message}", file=sys.stderr)
    sys.exit(1)


def machine():
    """What the figures were measured on, and when."""
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    osname = platform.platform()
    try:
        with open("/etc/os-release") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    osname = line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    commit = subprocess.run(["git", "-C", root, "rev-parse", "--short", "HEAD"],
                            capture_output=True, text=True).stdout.strip() or "unknown"
    return {"cpu": model, "cores": os.cpu_count(), "os": osname, "kernel": platform.release(),
            "commit": commit, "date": datetime.date.today().isoformat()}


@dataclasses.dataclass
class Programs:
    build: str
    decode: str
    testsignal: str
    bench: str

    @staticmethod
    def find(build_dir, need_bench=False):
        build = os.path.abspath(build_dir)
        p = Programs(build,
                     os.path.join(build, "src", "cli", "tolvana-decode"),
                     os.path.join(build, "tools", "tolvana-testsignal"),
                     os.path.join(build, "bench", "tolvana_bench"))
        wanted = [p.decode, p.testsignal] + ([p.bench] if need_bench else [])
        for path in wanted:
            if not os.access(path, os.X_OK):
                fail(f"{path} is missing: build {build} first "
                     "(cmake --preset dev && cmake --build --preset dev)")
        return p


@dataclasses.dataclass
class Run:
    """One finished process: wall and CPU seconds, peak resident memory."""
    wall: float
    cpu: float
    max_rss_kb: int
    returncode: int


TIME = "/usr/bin/time"


def measured(args, rss_file):
    """`args` run under GNU time, which writes the peak resident memory to
    `rss_file`. The peak that wait4 reports for a child of this script is no
    good: a child started by vfork keeps the high-water mark of the Python
    process it came from, which is larger than a decoder."""
    return [TIME, "-f", "%M", "-o", rss_file] + list(args)


def read_rss(rss_file):
    with open(rss_file) as f:
        lines = f.read().split()
    os.remove(rss_file)
    # GNU time puts "Command exited with non-zero status N" before the figure.
    return int(lines[-1]) if lines and lines[-1].isdigit() else 0


def finish(proc, started, rss_file):
    """Waits for `proc` (started with measured()): wall and CPU seconds (of
    GNU time and the program; time's own share is a millisecond), peak RSS."""
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    return Run(time.monotonic() - started, usage.ru_utime + usage.ru_stime,
               read_rss(rss_file), proc.returncode)


def run_measured(commands, check=True):
    """Runs the commands side by side, each a dict of Popen arguments plus
    "args". Returns one Run per command; their wall time is each process's own."""
    if not os.access(TIME, os.X_OK):
        fail(f"{TIME} is missing (Debian: apt-get install time)")
    started = time.monotonic()
    procs, rss_files = [], []
    for i, c in enumerate(commands):
        rss_files.append(os.path.join(tempfile.gettempdir(), f"tolvana-rss-{os.getpid()}-{i}"))
        procs.append(subprocess.Popen(**dict(c, args=measured(c["args"], rss_files[-1]))))
    runs = [finish(p, started, f) for p, f in zip(procs, rss_files)]
    if check:
        for c, r in zip(commands, runs):
            if r.returncode != 0:
                fail(f"{' '.join(c['args'])} ended with exit code {r.returncode}")
    return runs


def run_checked(args, **kwargs):
    result = subprocess.run(args, **kwargs)
    if result.returncode != 0:
        fail(f"{' '.join(args)} ended with exit code {result.returncode}")
    return result


def split_wav(path, left_raw, right_raw):
    """Writes the two channels of a 16-bit stereo WAV as raw mono files, the
    input multimon-ng reads."""
    with wave.open(path, "rb") as w:
        if w.getnchannels() != 2 or w.getsampwidth() != 2 or w.getframerate() != SAMPLE_RATE:
            fail(f"{path}: expected 16-bit stereo at {SAMPLE_RATE} Hz")
        frames = w.getnframes()
        with open(left_raw, "wb") as left, open(right_raw, "wb") as right:
            step = SAMPLE_RATE * 60
            for _ in range(0, frames, step):
                data = array.array("h")
                data.frombytes(w.readframes(step))
                if sys.byteorder != "little":
                    data.byteswap()
                data[0::2].tofile(left)
                data[1::2].tofile(right)
    return frames / SAMPLE_RATE


# --- reading the decoders' output -----------------------------------------

def read_expected(path):
    """tolvana-testsignal --expect: "L<TAB>export line" per transmission."""
    out = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line:
                side, _, text = line.partition("\t")
                out.append((side, text))
    return out


def parse_tolvana(text):
    """tolvana-decode's standard output: one reception per line."""
    out = []
    for line in text.splitlines():
        if line:
            side, _, rest = line.partition("\t")
            out.append((side, rest))
    return out


_FMS = re.compile(
    r"^FMS: [0-9a-f]+ \((\w)=[^\t]*\t(\w)=[^\t]*\tOrt 0x(\w\w)=\d+\s*\tFZG (\w+)\s*\t"
    r"Status (\w)=[^\t]*\t(\d)=[^\t]*\t(\d)=.*\) CRC correct")
_ZVEI = re.compile(r"^ZVEI1: (\S+)\s*$")
_POCSAG = re.compile(r"^POCSAG\d+: Address:\s*(\d+)\s+Function:\s*(\d)(.*)$")
_POCSAG_LABELS = ("Alpha:", "Numeric:", "Skyper:")


def parse_multimon(text, side):
    """multimon-ng's output as export lines. Counted as receptions: FMS
    telegrams whose CRC it found correct (it prints failing ones marked
    "CRC INCORRECT", which a user would disregard), every five-tone sequence,
    every POCSAG address with its message. Its FMS fields become tolvana's
    identity (organisation, state, place, vehicle) and "status#tki richtung";
    in five-tone sequences it writes the repeat tone as "E"."""
    out = []
    for line in text.splitlines():
        m = _FMS.match(line)
        if m:
            bos, land, ort, fzg, status, richtung, tki = m.groups()
            kennung = (bos + land + ort + fzg).upper()
            out.append((side, f"##FMS#{kennung}#{int(status, 16)}#{tki}{richtung}#+"))
            continue
        m = _ZVEI.match(line)
        if m:
            digits = ""
            for c in m.group(1):
                digits += digits[-1] if c == "E" and digits else c
            out.append((side, f"##ZVEI#{digits}##+"))
            continue
        m = _POCSAG.match(line)
        if m:
            ric, function, rest = m.groups()
            rest = rest.lstrip(" ")
            content = ""
            if rest.startswith(_POCSAG_LABELS):
                # The label is padded with blanks to nine characters.
                content = rest[9:]
            # The zero bits that fill the last codeword come out as NUL.
            content = content.replace("<NUL>", "")
            out.append((side, f"##POC#{int(ric)}#{function}#{content}#+"))
    return out


@dataclasses.dataclass
class Score:
    expected: int = 0
    correct: int = 0
    wrong: int = 0     # receptions that match nothing that was sent
    repeated: int = 0  # a reception that was sent, reported more often than sent
    damaged: int = 0   # a page to a pager that was paged, with another text

    def share(self):
        return self.correct / self.expected if self.expected else float("nan")

    def add(self, other):
        return Score(self.expected + other.expected, self.correct + other.correct,
                     self.wrong + other.wrong, self.repeated + other.repeated,
                     self.damaged + other.damaged)


def pager(line):
    """The pager a page went to, "##POC#RIC#FUNCTION#", or None."""
    if not line.startswith("##POC#"):
        return None
    parts = line.split("#")
    return "#".join(parts[:5]) + "#" if len(parts) > 5 else None


def score(expected, got, kind=None):
    """Compares receptions as (side, export line) pairs, each sent one counted
    at most once. `kind` ("FMS", "ZVEI", "POC") limits the count of sent and
    correct receptions to one system; wrong ones are counted whatever their kind.
    A page that went to a pager paged on that side (RIC and function as sent)
    with another text (a message codeword beyond repair, a text cut short) is
    counted as damaged, not as made up."""
    def of_kind(key):
        return kind is None or key[1].startswith(f"##{kind}#")
    sent = collections.Counter(k for k in expected if of_kind(k))
    found = collections.Counter(got)
    all_sent = collections.Counter(expected)
    pagers = {(side, pager(line)) for side, line in expected if pager(line)}
    s = Score(expected=sum(sent.values()))
    s.correct = sum(min(n, found[k]) for k, n in sent.items())
    s.repeated = sum(max(0, found[k] - n) for k, n in sent.items())
    for k, n in found.items():
        if k in all_sent:
            continue
        if (k[0], pager(k[1])) in pagers:
            s.damaged += n
        else:
            s.wrong += n
    return s


def share_cell(s):
    """A sweep table's cell: the share decoded, in brackets the receptions
    made up, in square brackets the pages with a damaged text."""
    cell = f"{100.0 * s.share():.0f} %"
    if s.wrong:
        cell += f" ({s.wrong})"
    if s.damaged:
        cell += f" [{s.damaged}]"
    return cell


def total_cell(s):
    cell = f"{s.correct}/{s.expected}, {s.wrong} made up"
    return cell + (f", {s.damaged} damaged" if s.damaged else "")
