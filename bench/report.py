#!/usr/bin/env python3
"""Prints the table of targets from the files one bench/run.sh run left in WORK.

Every ratio is measured in rounds: the measured and baseline columns give
the median of the rounds' figures, the ratio column is the median of the
rounds' ratios (of the rounds' p99 for the update latency), the spread
column their range, and the verdict is pass when
every round meets the limit, FAIL when none does, unstable otherwise
(verdict.py). Above the table: the disk's sync time and the load average at
the start and the end of the run."""
import json
import pathlib
import re
import statistics
import sys

from verdict import spread, verdict

work = pathlib.Path(sys.argv[1])


def benchmarks(name):
    """Google Benchmark's runs by name; a run repeated (--benchmark_repetitions)
    keeps every repetition in "_reps"."""
    path = work / name
    if not path.exists():
        return {}
    data = json.loads(path.read_text())
    out = {}
    for b in data.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration":
            continue
        key = re.sub(r"(/iterations:\d+)?(/repeats:\d+)?$", "", b.get("run_name", b["name"]))
        if b.get("error_occurred"):
            b = dict(b, failed=b.get("error_message", "error"))
        if key in out:
            out[key]["_reps"].append(b)
        else:
            out[key] = dict(b, _reps=[b])
    return out


def rounds(b, counter):
    """The rounds' values of a counter: name.1, name.2, ... when the program
    measured rounds itself, else one value a repetition."""
    if f"{counter}.1" in b:
        values = []
        while f"{counter}.{len(values) + 1}" in b:
            values.append(b[f"{counter}.{len(values) + 1}"])
        return values
    return [r[counter] for r in b["_reps"] if counter in r]


def med(b, counter):
    """The median of a counter's rounds: the measured and baseline columns."""
    return statistics.median(rounds(b, counter))


def load(name):
    path = work / name
    return json.loads(path.read_text()) if path.exists() and path.read_text().strip() else None


def loads(pattern):
    """Every round's JSON line of one load run, in round order."""
    found = []
    n = 1
    while (work / pattern.format(n)).exists():
        found.append(load(pattern.format(n)))
        n += 1
    return [f for f in found if f]


rows = []


def row(target, measured, baseline, values, op, bound, fmt="{:.2f}", unit="", limit=None):
    """A row with a limit: values are its rounds' figures (none: not run)."""
    ratio, span = spread(values, fmt, unit)
    rows.append((target, measured if values else "not run", baseline, ratio, span, limit or f"{op} {bound}",
                 verdict(values, op, bound)))


def report(target, measured, baseline="", ratio="", span=""):
    """A row given for information, without a limit."""
    rows.append((target, measured, baseline, ratio, span, "report", "-"))


def us(v):
    return f"{v:,.0f} µs" if v < 10000 else f"{v / 1000:,.1f} ms"


calls = benchmarks("calls.json")
screen = benchmarks("screen.json")

for db in ("sqlite", "postgresql"):
    b = calls.get(f"RoundTrip/{db}")
    target = f"1 ApCoServClie insert, {db}"
    if not b or "failed" in b:
        row(target, "", "", [], "<=", 1.15)
        continue
    how = "in process" if db == "sqlite" else "libpq"
    row(target, us(med(b, "stack_insert_us")),
        f"{us(med(b, 'base_us'))} (echo {us(med(b, 'echo_us'))} + the same transaction, {how}, "
        f"{us(med(b, 'same_insert_us'))})",
        rounds(b, "ratio"), "<=", 1.15)

for db in ("sqlite", "postgresql"):
    lists = screen.get(f"MontaLista/{db}")
    if not lists or "failed" in lists:
        row(f"2 MontaLista 10,000+10,000, {db}", "", "", [], "<=", 1.5)
        row(f"2 MontaLista growth 1,000 -> 10,000, {db}", "", "", [], "<=", 11)
        continue
    row(f"2 MontaLista 10,000+10,000, {db}", us(med(lists, "montalista_10k_us")),
        f"{us(med(lists, 'base_10k_us'))} (2 selects + {lists['answer_10k_bytes'] / 1e6:.2f} MB transfer)",
        rounds(lists, "ratio_10k"), "<=", 1.5)
    row(f"2 MontaLista growth 1,000 -> 10,000, {db}", us(med(lists, "montalista_10k_us")),
        us(med(lists, "montalista_1k_us")),
        rounds(lists, "growth"), "<=", 11)

for db in ("sqlite", "postgresql"):
    m = screen.get(f"MoveAll/{db}")
    if not m or "failed" in m:
        row(f"3 move-all 1,000, per service, {db}", "", "", [], "<=", 1.1)
        row(f"3 move-all last 100 vs first 100, {db}", "", "", [], "<=", 1.1)
        continue
    row(f"3 move-all 1,000, per service, {db}", us(med(m, "per_service_us")),
        f"{us(med(m, 'roundtrip_us'))} (round trip)",
        rounds(m, "ratio"), "<=", 1.1)
    row(f"3 move-all last 100 vs first 100, {db}", us(med(m, "last_us")), us(med(m, "first_us")),
        rounds(m, "growth"), "<=", 1.1)


def pgbench_latencies():
    """Every pgbench transaction's latency (µs), from its -l logs."""
    times = []
    for path in sorted(work.glob("pgbench-log-*")):
        for line in path.read_text().splitlines():
            fields = line.split()
            if len(fields) >= 3:
                times.append(int(fields[2]))
    times.sort()
    return times


def pct(times, p):
    return times[int(p * (len(times) - 1))] if times else 0


def pgbench_tps(n):
    path = work / f"pgbench-{n}.txt"
    found = re.search(r"tps = ([\d.]+) \(without initial connection time\)", path.read_text()) if path.exists() else None
    return float(found.group(1)) if found else None


def paired(measured, baseline):
    """The rounds in which both were measured, as (measured, baseline) pairs."""
    return [(m, b) for m, b in zip(measured, baseline) if m is not None and b is not None]


pg_loads = loads("load-pg-{}.json")
pg_pairs = paired([l["tps"] for l in pg_loads], [pgbench_tps(n) for n in range(1, len(pg_loads) + 1)])
row("4 16 operators, postgresql (changes/s)", f"{statistics.median(a for a, _ in pg_pairs):,.0f}" if pg_pairs else "",
    (f"{statistics.median(p for _, p in pg_pairs):,.0f} (pgbench -c 16 -j 2, the same statement, one transaction each)"
     if pg_pairs else ""), [a / p for a, p in pg_pairs], ">=", 1.0)
lite = loads("load-sqlite-{}.json")
direct = loads("load-sqlite-direct-{}.json")
lite_pairs = paired([l["tps"] for l in lite], [d["tps"] for d in direct])
row("4 16 operators, sqlite (changes/s)", f"{statistics.median(a for a, _ in lite_pairs):,.0f}" if lite_pairs else "",
    (f"{statistics.median(d for _, d in lite_pairs):,.0f} (the same transaction, 16 threads in process)"
     if lite_pairs else ""), [a / d for a, d in lite_pairs], ">=", 0.9)
times = pgbench_latencies()
base = f"pgbench p50 {us(pct(times, 0.5))}, p99 {us(pct(times, 0.99))}" if times else "no pgbench log"
for label, runs in (("postgresql", pg_loads), ("sqlite", lite)):
    if runs:
        p50 = statistics.median(l["p50_us"] for l in runs)
        p99 = statistics.median(l["p99_us"] for l in runs)
        report(f"4 latency, {label}", f"p50 {us(p50)}, p99 {us(p99)}", base)
if direct:
    p50 = statistics.median(l["p50_us"] for l in direct)
    p99 = statistics.median(l["p99_us"] for l in direct)
    report("4 latency, sqlite in process (baseline)", f"p50 {us(p50)}, p99 {us(p99)}")

for name, label in (("load-32-one.json", "one server"), ("load-32-two.json", "split over two")):
    many = load(name)
    if many:
        report(f"32 operators, postgresql, {label} (tx/s)", f"{many['tps']:,.0f}")

mem = load("memory.json")
if mem:
    row("5 memory, 100,000 assigned (heap)", f"{(mem['heap_loaded'] - mem['heap_idle']) / 1e6:.1f} MB",
        f"{mem['packet_bytes'] / 1e6:.1f} MB packet", [mem["heap_ratio"]], "<=", 2.2)
    report("5 memory, 100,000 assigned (RSS)", f"{(mem['rss_loaded'] - mem['rss_idle']) / 1e6:.1f} MB",
           f"{mem['packet_bytes'] / 1e6:.1f} MB packet", f"{mem['rss_ratio']:.2f}")
else:
    row("5 memory, 100,000 assigned", "", "", [], "<=", 2.2)

gui = benchmarks("gui.json").get("Rebuild/sqlite")
if gui and "failed" not in gui:
    row("6 Qt shell rebuild 10,000+10,000 vs headless", us(med(gui, "shown_us")),
        f"{us(med(gui, 'headless_us'))} (headless)", rounds(gui, "ratio"), "<=", 1.5)
else:
    row("6 Qt shell rebuild 10,000+10,000 vs headless", "", "", [], "<=", 1.5)
move = benchmarks("gui.json").get("MoveAll/sqlite")
if move and "failed" not in move:
    row("6 Qt shell move-all 1,000 vs headless, per service", us(med(move, "move_shown_us")),
        f"{us(med(move, 'move_headless_us'))} (headless)", rounds(move, "move_ratio"), "<=", 1.5)
else:
    row("6 Qt shell move-all 1,000 vs headless, per service", "", "", [], "<=", 1.5)

for db, label in (("sqlite", "sqlite"), ("pg", "postgresql, across two servers")):
    watched = loads(f"live-{db}-{{}}.json")
    alone = loads(f"live-{db}-none-{{}}.json")
    if watched:
        p50 = statistics.median(w["update_p50_ms"] for w in watched)
        row(f"7 update latency, 16 watchers, {label}",
            f"p50 {p50:.1f} ms, p99 {statistics.median(w['update_p99_ms'] for w in watched):.1f} ms", "",
            [w["update_p99_ms"] for w in watched], "<=", 100, fmt="{:.1f}", unit=" ms", limit="p99 <= 100 ms")
    else:
        row(f"7 update latency, 16 watchers, {label}", "", "", [], "<=", 100, limit="p99 <= 100 ms")
    pairs = paired([w["tps"] for w in watched], [a["tps"] for a in alone])
    row(f"7 writers with 16 watchers, {label} (changes/s)",
        f"{statistics.median(w for w, _ in pairs):,.0f}" if pairs else "",
        f"{statistics.median(a for _, a in pairs):,.0f} (no watchers)" if pairs else "", [w / a for w, a in pairs],
        ">=", 0.95)


def machine_line():
    start, end = load("machine-start.json"), load("machine-end.json")
    if not start:
        return "machine: not probed"

    def state(m):
        return (f"sync of 4 KB (pwrite + fdatasync) p50 {us(m['fsync_p50_us'])}, p90 {us(m['fsync_p90_us'])}; "
                f"load {' '.join(f'{v:.2f}' for v in m['load'])}")

    text = f"start: {state(start)}"
    if end:
        minutes, seconds = divmod(round(end["time"] - start["time"]), 60)
        text += f"\nend:   {state(end)}\nrun:   {minutes} min {seconds:02d} s from the first probe to the last"
    return text


print(machine_line())
print()
headers = ("target", "measured", "baseline", "ratio", "spread", "limit", "result")
table = [headers] + rows
widths = [max(len(str(line[i])) for line in table) for i in range(len(headers))]
sep = "|" + "|".join("-" * (w + 2) for w in widths) + "|"
for i, line in enumerate(table):
    print("| " + " | ".join(str(c).ljust(w) for c, w in zip(line, widths)) + " |")
    if i == 0:
        print(sep)
count = {v: sum(1 for r in rows if r[6] == v) for v in ("pass", "FAIL", "unstable")}
print(f"\n{count['pass']} passed, {count['FAIL']} failed, {count['unstable']} unstable")
sys.exit(0)
