#!/usr/bin/python3
"""Measures tolvana beside multimon-ng on the same generated audio and prints
a Markdown table: decoding speed per chain and for the whole program, peak
memory, and the share of transmissions decoded at falling signal-to-noise
ratios, with the receptions each made up. bench/run_table.sh runs it; see
docs/performance.md for what each figure means.
"""

import argparse
import concurrent.futures
import datetime
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402
from benchlib import MULTIMON, MULTIMON_DEMODS, MULTIMON_OPTIONS  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
START = "2026-01-05 08:00:00"  # recording clock of every tolvana-decode run
BEGIN_MARK = "<!-- run_table: begin -->"
END_MARK = "<!-- run_table: end -->"

# name, generator options, kind of reception (export line tag)
SYSTEMS = [
    ("FMS", ["--systems", "fms"], "FMS"),
    ("ZVEI", ["--systems", "zvei"], "ZVEI"),
    ("POCSAG 512", ["--systems", "pocsag", "--pocsag-rates", "512"], "POC"),
    ("POCSAG 1200", ["--systems", "pocsag", "--pocsag-rates", "1200"], "POC"),
    ("POCSAG 2400", ["--systems", "pocsag", "--pocsag-rates", "2400"], "POC"),
]
# Each decoder chain and the multimon-ng demodulators that do the same work
# (tolvana's one POCSAG chain reads all three rates).
CHAINS = [
    ("FMS", "fms", ["FMSFSK"], "BM_TrafficFmsChain"),
    ("ZVEI", "zvei", ["ZVEI1"], "BM_TrafficZveiChain"),
    ("POCSAG", "pocsag", ["POCSAG512", "POCSAG1200", "POCSAG2400"], "BM_TrafficPocsagChain"),
]


def progress(message):
    print(f"[{datetime.datetime.now():%H:%M:%S}] {message}", file=sys.stderr, flush=True)


def multimon_args(demods, path):
    args = [MULTIMON] + MULTIMON_OPTIONS
    for d in demods:
        args += ["-a", d]
    return args + [path]


def decode_args(programs, home, path, extra=()):
    return [programs.decode, "--home", home, "--start", START, *extra, path]


def load_average():
    return "{:.2f} {:.2f} {:.2f}".format(*os.getloadavg())


# --- speed ------------------------------------------------------------------

def benchmark_figures(programs, repeat):
    """Median audio seconds per CPU second of the traffic benchmarks."""
    out = benchlib.run_checked(
        [programs.bench, "--benchmark_filter=^BM_Traffic", "--benchmark_format=json",
         f"--benchmark_repetitions={repeat}"],
        capture_output=True, text=True)
    runs = {}
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration":
            runs.setdefault(b["run_name"], []).append(b["x_realtime"])
    return {name: statistics.median(values) for name, values in runs.items()}


def median_runs(runs):
    return benchlib.Run(statistics.median(r.wall for r in runs), statistics.median(r.cpu for r in runs),
                        max(r.max_rss_kb for r in runs), 0)


def speed(programs, work, minutes, repeat):
    seconds = minutes * 60.0
    wav = os.path.join(work, "traffic.wav")
    expect = os.path.join(work, "traffic.txt")
    # Pages the way up multimon-ng reads them without -i (a receiver gives
    # one polarity), so that the counts compare decoding, not that option.
    benchlib.run_checked([programs.testsignal, "--seconds", str(seconds), "--seed", "11",
                          "--snr", "20", "--pocsag-polarity", "inverted", "--expect", expect, wav])
    left, right = os.path.join(work, "traffic-L.raw"), os.path.join(work, "traffic-R.raw")
    benchlib.split_wav(wav, left, right)
    home = os.path.join(work, "home")
    result = {"seconds": seconds, "chains": {}}

    for name, decoder, demods, _ in CHAINS:
        progress(f"speed: {name} chain, whole programs on one channel")
        t, m = timed_pair(
            decode_args(programs, home, left, ["--raw", "--channels", "1", "--left-only", "--decoders", decoder]),
            multimon_args(demods, left), repeat)
        result["chains"][name] = (t, m)

    progress("speed: stereo recording, all decoders")
    tolvana_out = os.path.join(work, "traffic-tolvana.txt")
    left_out, right_out = os.path.join(work, "traffic-mm-L.txt"), os.path.join(work, "traffic-mm-R.txt")
    tolvana_runs, multimon_runs = [], []
    for i in range(repeat):
        with open(tolvana_out, "w") as t_out, open(left_out, "w") as l_out, open(right_out, "w") as r_out:
            tolvana_run = lambda: benchlib.run_measured(  # noqa: E731
                [{"args": decode_args(programs, home, wav), "stdout": t_out}])
            # One multimon-ng per channel, side by side, as a two-receiver
            # station would run it.
            multimon_run = lambda: benchlib.run_measured([  # noqa: E731
                {"args": multimon_args(MULTIMON_DEMODS, left), "stdout": l_out},
                {"args": multimon_args(MULTIMON_DEMODS, right), "stdout": r_out}])
            # Alternate which goes first, so that neither always meets a
            # warmer cache.
            if i % 2 == 0:
                tolvana_runs += tolvana_run()
                multimon_runs.append(multimon_run())
            else:
                multimon_runs.append(multimon_run())
                tolvana_runs += tolvana_run()
    both = [benchlib.Run(max(a.wall, b.wall), a.cpu + b.cpu, a.max_rss_kb + b.max_rss_kb, 0)
            for a, b in multimon_runs]
    result["stereo"] = (median_runs(tolvana_runs), median_runs(both))

    expected = benchlib.read_expected(expect)
    with open(tolvana_out, encoding="utf-8") as f:
        got_t = benchlib.parse_tolvana(f.read())
    with open(left_out, encoding="utf-8", errors="replace") as f:
        got_m = benchlib.parse_multimon(f.read(), "L")
    with open(right_out, encoding="utf-8", errors="replace") as f:
        got_m += benchlib.parse_multimon(f.read(), "R")
    result["found"] = (benchlib.score(expected, got_t), benchlib.score(expected, got_m))
    for path in (wav, left, right):
        os.remove(path)
    return result


def timed_pair(tolvana_args, multimon_args_, repeat):
    """Both programs on the same file, alternating which runs first; stdout
    is discarded. Returns the median runs (tolvana, multimon-ng)."""
    t_runs, m_runs = [], []
    for i in range(repeat):
        order = [("t", tolvana_args), ("m", multimon_args_)]
        if i % 2 == 1:
            order.reverse()
        for who, args in order:
            run = benchlib.run_measured([{"args": args, "stdout": subprocess.DEVNULL}])[0]
            (t_runs if who == "t" else m_runs).append(run)
    return median_runs(t_runs), median_runs(m_runs)


def junk(programs, work, minutes):
    """Receptions made up from noise, silence, clipping and DC (stereo)."""
    progress("noise, silence, clipping and DC")
    wav = os.path.join(work, "junk.wav")
    benchlib.run_checked([programs.testsignal, "--junk", "--seconds", str(minutes * 60.0), "--seed", "5", wav])
    left, right = os.path.join(work, "junk-L.raw"), os.path.join(work, "junk-R.raw")
    benchlib.split_wav(wav, left, right)
    t = benchlib.run_checked(decode_args(programs, os.path.join(work, "home"), wav),
                             capture_output=True, text=True)
    made_up_t = benchlib.parse_tolvana(t.stdout)
    made_up_m = []
    for side, path in (("L", left), ("R", right)):
        m = benchlib.run_checked(multimon_args(MULTIMON_DEMODS, path), capture_output=True, text=True,
                                 errors="replace")
        made_up_m += benchlib.parse_multimon(m.stdout, side)
    for path in (wav, left, right):
        os.remove(path)
    return made_up_t, made_up_m


# --- decoding at falling signal-to-noise ratio -------------------------------

def sweep_point(programs, work, count, system_index, snr):
    name, options, kind = SYSTEMS[system_index]
    stem = os.path.join(work, f"sweep-{system_index}-{snr}")
    raw, expect = stem + ".raw", stem + ".txt"
    # The same transmissions at every ratio (one seed per system); only the
    # noise grows. multimon-ng reads one POCSAG polarity without -i: the
    # pager traffic is sent that way up.
    benchlib.run_checked([programs.testsignal, *options, "--count", str(count), "--seed", str(100 + system_index),
                          "--snr", str(snr), "--gap", "0.5,1.5", "--pocsag-polarity", "inverted",
                          "--left-only", "--mono", "--expect", expect, raw])
    expected = benchlib.read_expected(expect)
    t = benchlib.run_checked(decode_args(programs, stem + "-home", raw, ["--raw", "--channels", "1", "--left-only"]),
                             capture_output=True, text=True)
    m = benchlib.run_checked(multimon_args(MULTIMON_DEMODS, raw), capture_output=True, text=True,
                             errors="replace")
    os.remove(raw)
    shutil.rmtree(stem + "-home", ignore_errors=True)
    return (benchlib.score(expected, benchlib.parse_tolvana(t.stdout), kind),
            benchlib.score(expected, benchlib.parse_multimon(m.stdout, "L"), kind))


def sweep(programs, work, count, snrs, jobs):
    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        futures = {pool.submit(sweep_point, programs, work, count, i, snr): (i, snr)
                   for i in range(len(SYSTEMS)) for snr in snrs}
        done = 0
        for future in concurrent.futures.as_completed(futures):
            results[futures[future]] = future.result()
            done += 1
            if done % 10 == 0 or done == len(futures):
                progress(f"signal-to-noise sweep: {done}/{len(futures)} points")
    return results


# --- the table ----------------------------------------------------------------

def fmt_rate(x):
    return f"{x:,.0f}".replace(",", "\u202f")


def fmt_ratio(a, b):
    return f"{a / b:.2f}" if b > 0 else "–"


def fmt_mb(kb):
    return f"{kb / 1024:.1f} MB"


def fmt_share(s):
    return benchlib.share_cell(s)


def markdown(info, bench, sp, made_up, sweep_results, snrs, count, minutes, load_before, load_after):
    lines = []
    add = lines.append
    add(f"Measured {info['date']} on {info['cpu']}, {info['cores']} cores, {info['os']} "
        f"(Linux {info['kernel']}); tolvana {info['commit']}, {info['multimon']}. "
        f"Load average before the run {load_before}, after it {load_after}.")
    add("")
    add("**Speed** (audio seconds decoded per CPU second; higher is faster)")
    add("")
    add("| what | tolvana | multimon-ng | tolvana / multimon-ng |")
    add("|---|--:|--:|--:|")
    seconds = sp["seconds"]
    for name, _, demods, bench_name in CHAINS:
        t, m = sp["chains"][name]
        add(f"| {name} chain, one channel, decoder alone (benchmark) | {fmt_rate(bench[bench_name])} | | |")
        add(f"| {name}, one channel of the {minutes:g}-minute recording, whole program "
            f"({'+'.join(demods)}) | {fmt_rate(seconds / t.cpu)} | {fmt_rate(seconds / m.cpu)} | "
            f"{fmt_ratio(m.cpu, t.cpu)} |")
    add(f"| all six chains, both channels, decoders alone (benchmark) | "
        f"{fmt_rate(bench['BM_TrafficAllSixChains'])} | | |")
    t, m = sp["stereo"]
    add(f"| everything, stereo {minutes:g}-minute recording, whole program | {fmt_rate(seconds / t.cpu)} | "
        f"{fmt_rate(seconds / m.cpu)} | {fmt_ratio(m.cpu, t.cpu)} |")
    add("")
    add(f"**The stereo {minutes:g}-minute recording** (one tolvana-decode; two multimon-ng, one per channel, "
        "side by side)")
    add("")
    add("| what | tolvana-decode | multimon-ng | tolvana / multimon-ng |")
    add("|---|--:|--:|--:|")
    add(f"| CPU time | {t.cpu:.2f} s | {m.cpu:.2f} s | {fmt_ratio(m.cpu, t.cpu)} |")
    add(f"| wall time | {t.wall:.2f} s | {m.wall:.2f} s | {fmt_ratio(m.wall, t.wall)} |")
    add(f"| peak memory (max RSS) | {fmt_mb(t.max_rss_kb)} | {fmt_mb(m.max_rss_kb)} (both) | |")
    ft, fm = sp["found"]
    add(f"| transmissions decoded (of {ft.expected}, 20 dB) | {ft.correct} | {fm.correct} | |")
    add(f"| receptions made up | {ft.wrong} | {fm.wrong} | |")
    add(f"| pages with a damaged text | {ft.damaged} | {fm.damaged} | |")
    jt, jm = made_up
    add(f"| receptions made up from {minutes:g} minutes of noise, silence, clipping and DC | {len(jt)} | "
        f"{len(jm)} | |")
    add("")
    add(f"**Decoded at falling signal-to-noise ratio** ({count} transmissions per system and ratio, "
        "one channel; share decoded correctly, in brackets the receptions made up, in square brackets "
        "the pages with a damaged text, if any)")
    add("")
    header = "| SNR |" + "".join(f" {name} tolvana | {name} multimon-ng |" for name, _, _ in SYSTEMS)
    add(header)
    add("|--:|" + "--:|" * (2 * len(SYSTEMS)))
    for snr in snrs:
        cells = []
        for i in range(len(SYSTEMS)):
            t, m = sweep_results[(i, snr)]
            cells += [fmt_share(t), fmt_share(m)]
        add(f"| {snr} dB | " + " | ".join(cells) + " |")
    totals = []
    for i in range(len(SYSTEMS)):
        t = benchlib.Score()
        m = benchlib.Score()
        for snr in snrs:
            t = t.add(sweep_results[(i, snr)][0])
            m = m.add(sweep_results[(i, snr)][1])
        totals += [benchlib.total_cell(t), benchlib.total_cell(m)]
    add("| all | " + " | ".join(totals) + " |")
    return "\n".join(lines) + "\n"


def update_doc(path, table):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    begin, end = text.find(BEGIN_MARK), text.find(END_MARK)
    if begin < 0 or end < begin:
        benchlib.fail(f"{path} has no {BEGIN_MARK} ... {END_MARK} block to replace")
    text = text[:begin + len(BEGIN_MARK)] + "\n" + table + text[end:]
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build_dir", nargs="?", default=os.path.join(ROOT, "build", "dev"),
                    help="build folder with tolvana-decode, tolvana-testsignal, tolvana_bench (default build/dev)")
    ap.add_argument("--count", type=int, default=100, help="transmissions per system and ratio (default 100)")
    ap.add_argument("--snr", default="30,20,15,12,10,8,6,4,2,0", help="ratios in dB (default 30,...,0)")
    ap.add_argument("--minutes", type=float, default=10.0, help="length of the speed recording (default 10)")
    ap.add_argument("--repeat", type=int, default=3, help="timed runs per figure; the median counts (default 3)")
    ap.add_argument("--jobs", type=int, default=2, help="sweep points decoded side by side (default 2)")
    ap.add_argument("--doc", nargs="?", const=os.path.join(ROOT, "docs", "performance.md"),
                    help="also write the table into this file (default docs/performance.md)")
    args = ap.parse_args()

    if shutil.which(MULTIMON) is None:
        benchlib.fail("multimon-ng is not installed (Debian: apt-get install multimon-ng)")
    programs = benchlib.Programs.find(args.build_dir, need_bench=True)
    snrs = [int(s) if float(s).is_integer() else float(s) for s in args.snr.split(",")]
    info = benchlib.machine()
    mm = subprocess.run([MULTIMON, "-h"], capture_output=True, text=True)
    info["multimon"] = (mm.stdout + mm.stderr).splitlines()[0].strip()
    load_before = load_average()

    with tempfile.TemporaryDirectory(prefix="tolvana-compare-") as work:
        progress("Google Benchmark: the chains on mixed traffic")
        bench = benchmark_figures(programs, args.repeat)
        sp = speed(programs, work, args.minutes, args.repeat)
        made_up = junk(programs, work, args.minutes)
        sweep_results = sweep(programs, work, args.count, snrs, args.jobs)

    table = markdown(info, bench, sp, made_up, sweep_results, snrs, args.count, args.minutes,
                     load_before, load_average())
    print(table)
    if args.doc:
        update_doc(args.doc, table)
        progress(f"written into {args.doc}")


if __name__ == "__main__":
    main()
