#!/usr/bin/python3
"""Share of transmissions decoded at falling signal-to-noise ratio, and the
receptions made up, for tolvana and (with --multimon) multimon-ng on the
same audio: the sweep of bench/run_table.sh without the speed runs, for
trying out a change to a decoder and for the per-system tables in
docs/performance.md.

  bench/noise_sweep.py [BUILD_DIR] [--systems zvei,pocsag512,...] [--snr 30,20,...]
                       [--count 50] [--multimon] [--level DBFS] [--gap MIN,MAX]
                       [--junk-minutes 10] [--tolvana-decode PATH] [--markdown]

The audio is made as bench/run_table.py makes it (same seeds, same gaps
unless --gap is given): white noise over the whole band of the recording
(0..11025 Hz) at the given ratio to the transmissions' power. Both
programs run with all their decoders, so a reception of another system
made up from the noise counts too. A page to a pager that was paged, with
another text, is counted as damaged (square brackets), not as made up
(round brackets).
"""

import argparse
import concurrent.futures
import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402
from benchlib import MULTIMON, MULTIMON_DEMODS, MULTIMON_OPTIONS  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
START = "2026-01-05 08:00:00"

# name, generator options, kind of reception, seed (run_table.py's order)
SYSTEMS = {
    "fms": ("FMS", ["--systems", "fms"], "FMS", 100),
    "zvei": ("ZVEI", ["--systems", "zvei"], "ZVEI", 101),
    "pocsag512": ("POCSAG 512", ["--systems", "pocsag", "--pocsag-rates", "512"], "POC", 102),
    "pocsag1200": ("POCSAG 1200", ["--systems", "pocsag", "--pocsag-rates", "1200"], "POC", 103),
    "pocsag2400": ("POCSAG 2400", ["--systems", "pocsag", "--pocsag-rates", "2400"], "POC", 104),
}


def multimon_args(path):
    args = [MULTIMON] + MULTIMON_OPTIONS
    for d in MULTIMON_DEMODS:
        args += ["-a", d]
    return args + [path]


def point(programs, decode, work, args, system, snr):
    _, options, kind, seed = SYSTEMS[system]
    stem = os.path.join(work, f"{system}-{snr}")
    raw, expect = stem + ".raw", stem + ".txt"
    # multimon-ng reads one POCSAG polarity without -i: the pages are sent
    # that way up (tolvana reads both).
    extra = ["--level", str(args.level)] if args.level is not None else []
    benchlib.run_checked([programs.testsignal, *options, *extra, "--count", str(args.count), "--seed", str(seed),
                          "--snr", str(snr), "--gap", args.gap, "--pocsag-polarity", "inverted",
                          "--left-only", "--mono", "--expect", expect, raw])
    out = benchlib.run_checked([decode, "--home", stem + "-home", "--start", START, "--raw", "--channels", "1",
                                "--left-only", raw], capture_output=True, text=True)
    expected = benchlib.read_expected(expect)
    got = benchlib.parse_tolvana(out.stdout)
    result = {"tolvana": benchlib.score(expected, got, kind)}
    sent = set(expected)
    lines = [("tolvana", line) for side, line in got if (side, line) not in sent]
    if args.multimon:
        m = benchlib.run_checked(multimon_args(raw), capture_output=True, text=True, errors="replace")
        got_m = benchlib.parse_multimon(m.stdout, "L")
        result["multimon-ng"] = benchlib.score(expected, got_m, kind)
        lines += [("multimon-ng", line) for side, line in got_m if (side, line) not in sent]
    os.remove(raw)
    shutil.rmtree(stem + "-home", ignore_errors=True)
    return result, lines


def junk(programs, decode, work, minutes):
    wav = os.path.join(work, "junk.wav")
    benchlib.run_checked([programs.testsignal, "--junk", "--seconds", str(minutes * 60.0), "--seed", "5", wav])
    out = benchlib.run_checked([decode, "--home", os.path.join(work, "junk-home"), "--start", START, wav],
                               capture_output=True, text=True)
    os.remove(wav)
    return benchlib.parse_tolvana(out.stdout)


def table(systems, snrs, results, programs_shown):
    """One Markdown table: a column per system and program."""
    columns = [(s, p) for s in systems for p in programs_shown]
    lines = ["| SNR | " + " | ".join(f"{SYSTEMS[s][0]} {p}" if len(programs_shown) > 1 else SYSTEMS[s][0]
                                     for s, p in columns) + " |",
             "|--:|" + "--:|" * len(columns)]
    for snr in snrs:
        lines.append(f"| {snr} dB | " + " | ".join(benchlib.share_cell(results[(s, snr)][p]) for s, p in columns)
                     + " |")
    totals = []
    for s, p in columns:
        t = benchlib.Score()
        for snr in snrs:
            t = t.add(results[(s, snr)][p])
        totals.append(benchlib.total_cell(t))
    lines.append("| all | " + " | ".join(totals) + " |")
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build_dir", nargs="?", default=os.path.join(ROOT, "build", "dev"))
    ap.add_argument("--systems", default="fms,zvei", help=f"some of {','.join(SYSTEMS)} (default fms,zvei)")
    ap.add_argument("--snr", default="30,20,15,12,10,8,6,4,2,0", help="ratios in dB (default 30,...,0)")
    ap.add_argument("--count", type=int, default=100, help="transmissions per system and ratio (default 100)")
    ap.add_argument("--multimon", action="store_true", help="decode the same audio with multimon-ng too")
    ap.add_argument("--level", type=float, help="peak level of the transmissions in dBFS (default -10.3)")
    ap.add_argument("--gap", default="0.5,1.5", help="quiet seconds between transmissions, MIN,MAX (default 0.5,1.5)")
    ap.add_argument("--markdown", action="store_true",
                    help="one table per system (tolvana beside multimon-ng), as docs/performance.md has them")
    ap.add_argument("--junk-minutes", type=float, default=0.0,
                    help="also decode this much noise, silence, clipping and DC (stereo) and count what comes out")
    ap.add_argument("--tolvana-decode", help="another tolvana-decode to measure (default: the build folder's)")
    ap.add_argument("--jobs", type=int, default=2, help="sweep points decoded side by side (default 2)")
    args = ap.parse_args()

    if args.multimon and shutil.which(MULTIMON) is None:
        benchlib.fail("multimon-ng is not installed (Debian: apt-get install multimon-ng)")
    programs = benchlib.Programs.find(args.build_dir)
    decode = os.path.abspath(args.tolvana_decode) if args.tolvana_decode else programs.decode
    systems = [s for s in args.systems.split(",") if s]
    for s in systems:
        if s not in SYSTEMS:
            benchlib.fail(f"unknown system {s}; known: {', '.join(SYSTEMS)}")
    snrs = [int(s) if float(s).is_integer() else float(s) for s in args.snr.split(",")]
    shown = ["tolvana", "multimon-ng"] if args.multimon else ["tolvana"]

    with tempfile.TemporaryDirectory(prefix="tolvana-sweep-") as work:
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            futures = {(s, snr): pool.submit(point, programs, decode, work, args, s, snr)
                       for s in systems for snr in snrs}
            results = {key: f.result()[0] for key, f in futures.items()}
            made_up_lines = [(key, who, line) for key, f in futures.items() for who, line in f.result()[1]]
        made_up = junk(programs, decode, work, args.junk_minutes) if args.junk_minutes > 0 else None

    if args.markdown:
        for s in systems:
            print(f"\n{SYSTEMS[s][0]} ({args.count} transmissions per ratio)\n")
            print("\n".join(table([s], snrs, results, shown)))
    else:
        print("\n".join(table(systems, snrs, results, shown)))
        for (system, snr), who, line in made_up_lines:
            print(f"not as sent at {snr} dB in the {SYSTEMS[system][0]} audio ({who}): {line}")
    if made_up is not None:
        print(f"\nreceptions made up from {args.junk_minutes:g} minutes of noise, silence, clipping and DC: "
              f"{len(made_up)}")
        for side, line in made_up[:20]:
            print(f"  {side}\t{line}")


if __name__ == "__main__":
    main()
