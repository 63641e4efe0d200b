#!/usr/bin/python3
"""Share of transmissions tolvana decodes at falling signal-to-noise ratio,
and the receptions it makes up, without the comparison program: the sweep of
bench/run_table.sh for tolvana alone, in a minute or two. For trying out a
change to a decoder's front end before the full table is run.

  bench/noise_sweep.py [BUILD_DIR] [--systems fms,zvei] [--snr 30,20,...] [--count 100]
                       [--junk-minutes 10] [--tolvana-decode PATH]

The audio is made as bench/run_table.py makes it (same seeds, same gaps),
so the figures are the table's. tolvana-decode runs with all its decoders,
so a reception of another system made up from the noise counts too.
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


def point(programs, decode, work, count, system, snr):
    _, options, kind, seed = SYSTEMS[system]
    stem = os.path.join(work, f"{system}-{snr}")
    raw, expect = stem + ".raw", stem + ".txt"
    benchlib.run_checked([programs.testsignal, *options, "--count", str(count), "--seed", str(seed),
                          "--snr", str(snr), "--gap", "0.5,1.5", "--pocsag-polarity", "inverted",
                          "--left-only", "--mono", "--expect", expect, raw])
    out = benchlib.run_checked([decode, "--home", stem + "-home", "--start", START, "--raw", "--channels", "1",
                                "--left-only", raw], capture_output=True, text=True)
    os.remove(raw)
    shutil.rmtree(stem + "-home", ignore_errors=True)
    expected = benchlib.read_expected(expect)
    got = benchlib.parse_tolvana(out.stdout)
    sent = set(expected)
    return benchlib.score(expected, got, kind), [line for side, line in got if (side, line) not in sent]


def junk(programs, decode, work, minutes):
    wav = os.path.join(work, "junk.wav")
    benchlib.run_checked([programs.testsignal, "--junk", "--seconds", str(minutes * 60.0), "--seed", "5", wav])
    out = benchlib.run_checked([decode, "--home", os.path.join(work, "junk-home"), "--start", START, wav],
                               capture_output=True, text=True)
    os.remove(wav)
    return benchlib.parse_tolvana(out.stdout)


def cell(s):
    return f"{100.0 * s.share():.0f} %" + (f" ({s.wrong})" if s.wrong else "")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build_dir", nargs="?", default=os.path.join(ROOT, "build", "dev"))
    ap.add_argument("--systems", default="fms,zvei", help=f"some of {','.join(SYSTEMS)} (default fms,zvei)")
    ap.add_argument("--snr", default="30,20,15,12,10,8,6,4,2,0", help="ratios in dB (default 30,...,0)")
    ap.add_argument("--count", type=int, default=100, help="transmissions per system and ratio (default 100)")
    ap.add_argument("--junk-minutes", type=float, default=0.0,
                    help="also decode this much noise, silence, clipping and DC (stereo) and count what comes out")
    ap.add_argument("--tolvana-decode", help="another tolvana-decode to measure (default: the build folder's)")
    ap.add_argument("--jobs", type=int, default=2, help="sweep points decoded side by side (default 2)")
    args = ap.parse_args()

    programs = benchlib.Programs.find(args.build_dir)
    decode = os.path.abspath(args.tolvana_decode) if args.tolvana_decode else programs.decode
    systems = [s for s in args.systems.split(",") if s]
    for s in systems:
        if s not in SYSTEMS:
            benchlib.fail(f"unknown system {s}; known: {', '.join(SYSTEMS)}")
    snrs = [int(s) if float(s).is_integer() else float(s) for s in args.snr.split(",")]

    with tempfile.TemporaryDirectory(prefix="tolvana-sweep-") as work:
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            futures = {(s, snr): pool.submit(point, programs, decode, work, args.count, s, snr)
                       for s in systems for snr in snrs}
            results = {key: f.result()[0] for key, f in futures.items()}
            made_up_lines = [(key, line) for key, f in futures.items() for line in f.result()[1]]
        made_up = junk(programs, decode, work, args.junk_minutes) if args.junk_minutes > 0 else None

    print("| SNR | " + " | ".join(SYSTEMS[s][0] for s in systems) + " |")
    print("|--:|" + "--:|" * len(systems))
    for snr in snrs:
        print(f"| {snr} dB | " + " | ".join(cell(results[(s, snr)]) for s in systems) + " |")
    totals = []
    for s in systems:
        t = benchlib.Score()
        for snr in snrs:
            t = t.add(results[(s, snr)])
        totals.append(f"{t.correct}/{t.expected}, {t.wrong} made up")
    print("| all | " + " | ".join(totals) + " |")
    for (system, snr), line in made_up_lines:
        print(f"made up at {snr} dB in the {SYSTEMS[system][0]} audio: {line}")
    if made_up is not None:
        print(f"\nreceptions made up from {args.junk_minutes:g} minutes of noise, silence, clipping and DC: "
              f"{len(made_up)}")
        for side, line in made_up[:20]:
            print(f"  {side}\t{line}")


if __name__ == "__main__":
    main()
