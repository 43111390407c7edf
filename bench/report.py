#!/usr/bin/env python3
"""Prints the table of targets from the files one bench/run.sh run left in WORK."""
import json
import pathlib
import re
import sys

work = pathlib.Path(sys.argv[1])


def benchmarks(name):
    path = work / name
    if not path.exists():
        return {}
    data = json.loads(path.read_text())
    out = {}
    for b in data.get("benchmarks", []):
        key = re.sub(r"/iterations:\d+$", "", b["name"])
        if b.get("error_occurred"):
            b = dict(b, failed=b.get("error_message", "error"))
        out[key] = b
    return out


def load(name):
    path = work / name
    return json.loads(path.read_text()) if path.exists() and path.read_text().strip() else None


rows = []


def row(target, measured, baseline, ratio, limit, ok, unit=""):
    rows.append((target, measured, baseline, ratio, limit, ok))


def us(v):
    return f"{v:,.0f} µs" if v < 10000 else f"{v / 1000:,.1f} ms"


calls = benchmarks("calls.json")
screen = benchmarks("screen.json")

for db in ("sqlite", "postgresql"):
    b = calls.get(f"RoundTrip/{db}")
    if not b or "failed" in b:
        row(f"1 ApCoServClie insert, {db}", "not run", "", "", "<= 1.15", False)
        continue
    base = b["echo_us"] + b["same_insert_us"]
    r = b["stack_insert_us"] / base
    how = "in process" if db == "sqlite" else "libpq"
    row(f"1 ApCoServClie insert, {db}", us(b["stack_insert_us"]),
        f"{us(base)} (echo {us(b['echo_us'])} + the same transaction, {how}, {us(b['same_insert_us'])})", f"{r:.2f}",
        "<= 1.15", r <= 1.15)

for db in ("sqlite", "postgresql"):
    lists = screen.get(f"MontaLista/{db}")
    if not lists or "failed" in lists:
        row(f"2 MontaLista 10,000+10,000, {db}", "not run", "", "", "<= 1.5", False)
        continue
    r = lists["ratio_10k"]
    row(f"2 MontaLista 10,000+10,000, {db}", us(lists["montalista_10k_us"]),
        f"{us(lists['base_10k_us'])} (2 selects + {lists['answer_10k_bytes'] / 1e6:.2f} MB transfer)", f"{r:.2f}",
        "<= 1.5", r <= 1.5)
    g = lists["growth"]
    row(f"2 MontaLista growth 1,000 -> 10,000, {db}", us(lists["montalista_10k_us"]), us(lists["montalista_1k_us"]),
        f"{g:.2f}", "<= 11", g <= 11)

for db in ("sqlite", "postgresql"):
    m = screen.get(f"MoveAll/{db}")
    if not m or "failed" in m:
        row(f"3 move-all 1,000, per service, {db}", "not run", "", "", "<= 1.1", False)
        continue
    r = m["per_service_us"] / m["roundtrip_us"]
    row(f"3 move-all 1,000, per service, {db}", us(m["per_service_us"]), f"{us(m['roundtrip_us'])} (round trip)",
        f"{r:.2f}", "<= 1.1", r <= 1.1)
    g = m["last_us"] / m["first_us"]
    row(f"3 move-all last 100 vs first 100, {db}", us(m["last_us"]), us(m["first_us"]), f"{g:.2f}", "<= 1.1",
        g <= 1.1)

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


pgbench = []
for n in (1, 2):
    path = work / f"pgbench-{n}.txt"
    if path.exists():
        found = re.search(r"tps = ([\d.]+) \(without initial connection time\)", path.read_text())
        if found:
            pgbench.append(float(found.group(1)))
pg_loads = [l for l in (load(f"load-pg-{n}.json") for n in (1, 2)) if l]
if pgbench and pg_loads:
    a = sum(l["tps"] for l in pg_loads) / len(pg_loads)
    p = sum(pgbench) / len(pgbench)
    r = a / p
    row("4 16 operators, postgresql (changes/s)", f"{a:,.0f}",
        f"{p:,.0f} (pgbench -c 16 -j 2, the same statement, one transaction each)", f"{r:.2f}", ">= 1.0", r >= 1.0)
else:
    row("4 16 operators, postgresql (changes/s)", "not run", "", "", ">= 1.0", False)
lite = [l for l in (load(f"load-sqlite-{n}.json") for n in (1, 2)) if l]
direct = [l for l in (load(f"load-sqlite-direct-{n}.json") for n in (1, 2)) if l]
if lite and direct:
    a = sum(l["tps"] for l in lite) / len(lite)
    d = sum(l["tps"] for l in direct) / len(direct)
    r = a / d
    row("4 16 operators, sqlite (changes/s)", f"{a:,.0f}", f"{d:,.0f} (the same transaction, 16 threads in process)",
        f"{r:.2f}", ">= 0.9", r >= 0.9)
else:
    row("4 16 operators, sqlite (changes/s)", "not run", "", "", ">= 0.9", False)
times = pgbench_latencies()
base = f"pgbench p50 {us(pct(times, 0.5))}, p99 {us(pct(times, 0.99))}" if times else "no pgbench log"
for label, loads in (("postgresql", pg_loads), ("sqlite", lite)):
    if loads:
        p50 = sum(l["p50_us"] for l in loads) / len(loads)
        p99 = sum(l["p99_us"] for l in loads) / len(loads)
        row(f"4 latency, {label}", f"p50 {us(p50)}, p99 {us(p99)}", base, "", "report", None)
if direct:
    p50 = sum(l["p50_us"] for l in direct) / len(direct)
    p99 = sum(l["p99_us"] for l in direct) / len(direct)
    row("4 latency, sqlite in process (baseline)", f"p50 {us(p50)}, p99 {us(p99)}", "", "", "report", None)

for name, label in (("load-32-one.json", "one server"), ("load-32-two.json", "split over two")):
    many = load(name)
    if many:
        row(f"32 operators, postgresql, {label} (tx/s)", f"{many['tps']:,.0f}", "", "", "report", None)

mem = load("memory.json")
if mem:
    r = mem["heap_ratio"]
    row("5 memory, 100,000 assigned (heap)",
        f"{(mem['heap_loaded'] - mem['heap_idle']) / 1e6:.1f} MB",
        f"{mem['packet_bytes'] / 1e6:.1f} MB packet", f"{r:.2f}", "<= 2.2", r <= 2.2)
    row("5 memory, 100,000 assigned (RSS)", f"{(mem['rss_loaded'] - mem['rss_idle']) / 1e6:.1f} MB",
        f"{mem['packet_bytes'] / 1e6:.1f} MB packet", f"{mem['rss_ratio']:.2f}", "report", None)
else:
    row("5 memory, 100,000 assigned", "not run", "", "", "<= 2.2", False)

gui = benchmarks("gui.json").get("Rebuild/sqlite")
if gui and "failed" not in gui:
    r = gui["ratio"]
    row("6 Qt shell rebuild 10,000+10,000 vs headless", us(gui["shown_us"]), f"{us(gui['headless_us'])} (headless)",
        f"{r:.2f}", "<= 1.5", r <= 1.5)
else:
    row("6 Qt shell rebuild 10,000+10,000 vs headless", "not run", "", "", "<= 1.5", False)

headers = ("target", "measured", "baseline", "ratio", "limit", "result")
for db, label in (("sqlite", "sqlite"), ("pg", "postgresql, across two servers")):
    watched = [l for l in (load(f"live-{db}-{n}.json") for n in (1, 2)) if l]
    alone = [l for l in (load(f"live-{db}-none-{n}.json") for n in (1, 2)) if l]
    if watched and alone:
        p99 = max(w["update_p99_ms"] for w in watched)
        p50 = max(w["update_p50_ms"] for w in watched)
        row(f"7 update latency, 16 watchers, {label}", f"p50 {p50:.1f} ms, p99 {p99:.1f} ms", "", "",
            "p99 <= 100 ms", p99 <= 100)
        with_w = sum(w["tps"] for w in watched) / len(watched)
        without = sum(a["tps"] for a in alone) / len(alone)
        ratio = with_w / without
        row(f"7 writers with 16 watchers, {label} (changes/s)", f"{with_w:,.0f}", f"{without:,.0f} (no watchers)",
            f"{ratio:.2f}", ">= 0.95", ratio >= 0.95)
    else:
        row(f"7 update latency, 16 watchers, {label}", "not run", "", "", "p99 <= 100 ms", False)

table = [headers] + [(t, m, b, r, l, "-" if ok is None else ("pass" if ok else "FAIL")) for t, m, b, r, l, ok in rows]
widths = [max(len(str(line[i])) for line in table) for i in range(len(headers))]
sep = "|" + "|".join("-" * (w + 2) for w in widths) + "|"
for i, line in enumerate(table):
    print("| " + " | ".join(str(c).ljust(w) for c, w in zip(line, widths)) + " |")
    if i == 0:
        print(sep)
failed = sum(1 for r in rows if r[5] is False)
print(f"\n{len([r for r in rows if r[5] is not None]) - failed} passed, {failed} failed")
sys.exit(0)
