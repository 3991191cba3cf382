#!/usr/bin/env python3
"""Turns the qarvel_bench results of one run into the performance table (Markdown).

usage: report.py <results folder>

The folder holds, per size N, N.json (Google Benchmark, JSON), N.mem.json (memory) and
optionally generate-N.txt (what qarvel_generate printed).
"""

import json
import os
import platform
import re
import subprocess
import sys

LABELS = {
    "startup": "Start-up to the main window shown",
    "startup_backup_day": "Start-up on a backup day (10th, 20th, 30th)",
    "backup": "Backup of both files (behind the window)",
    "lookup_drug": "Drug lookup, per keystroke",
    "lookup_drug_nomatch": "Drug lookup, key that matches nothing",
    "lookup_diagnosis": "Diagnosis lookup, per keystroke",
    "lookup_diagnosis_all": "Diagnosis box emptied or entered (whole list)",
    "lookup_address": "Address lookup (key contains), per keystroke",
    "lookup_address_all": "Address box emptied (whole list)",
    "search_name": "Record search by name only",
    "search_name_date": "Record search by name and date",
    "search_month": "Record search by month",
    "save": "Save (insert, tree rebuilt)",
    "open": "Open a record",
    "stats_day": "Statistics of a day",
    "stats_month": "Statistics of a month",
    "log_day": "Outpatient log of a day (query, grid)",
    "log_month": "Outpatient log of a month (query, grid)",
    "print_logbook_month": "Log book of a month into PDF",
    "print_prescription": "Prescription print into PDF",
}

LOOKUPS = {"lookup_drug", "lookup_drug_nomatch", "lookup_diagnosis", "lookup_diagnosis_all", "lookup_address",
           "lookup_address_all"}
DATE_BOUNDED = {"search_name_date", "search_month", "stats_day", "stats_month", "log_day", "log_month"}
SIZE_FREE = {"save", "startup", "startup_backup_day"}
FRAME_MS = 16.0


def load(folder):
    """{(op, side, N): {"median": ms, "rows": n}}, memory {N: {...}}, generation {N: text}"""
    results, memory, generation = {}, {}, {}
    context = None
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if re.fullmatch(r"\d+\.json", name):
            with open(path, encoding="utf-8") as f:
                data = json.load(f)
            context = context or data.get("context")
            for b in data["benchmarks"]:
                if b.get("aggregate_name") != "median":
                    continue
                parts = b["run_name"].split("/")
                op, side, size = parts[0], parts[1], int(parts[2])
                entry = {"median": b["real_time"], "rows": b.get("rows"), "error": b.get("error_message")}
                results[(op, side, size)] = entry
            for b in data["benchmarks"]:
                if b.get("error_occurred"):
                    parts = b["run_name"].split("/")
                    results[(parts[0], parts[1], int(parts[2]))] = {"median": None, "rows": None,
                                                                   "error": b.get("error_message")}
        elif re.fullmatch(r"\d+\.mem\.json", name):
            with open(path, encoding="utf-8") as f:
                m = json.load(f)
            memory[m["records"]] = m
        elif re.fullmatch(r"generate-\d+\.txt", name):
            with open(path, encoding="utf-8") as f:
                generation[int(re.search(r"\d+", name).group())] = f.read().strip()
    return results, memory, generation, context or {}


def ms(value):
    if value is None:
        return "—"
    if value >= 100:
        return f"{value:.0f}"
    if value >= 10:
        return f"{value:.1f}"
    if value >= 1:
        return f"{value:.2f}"
    return f"{value:.3f}"


def machine():
    cpu, cores, mem = platform.processor() or "?", os.cpu_count(), "?"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
        with open("/proc/meminfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("MemTotal"):
                    mem = f"{int(line.split()[1]) / 1024 / 1024:.1f} GiB"
                    break
    except OSError:
        pass
    return cpu, cores, mem


def system():
    try:
        with open("/etc/os-release", encoding="utf-8") as f:
            fields = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        name = fields.get("PRETTY_NAME", "").strip('"')
    except OSError:
        name = ""
    return f"{name or platform.system()}, kernel {platform.release()}"


def benchmark_version(context):
    version = context.get("library_version")
    if not version:
        try:
            version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libbenchmark-dev"], capture_output=True,
                                     text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            version = "?"
    return version


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    results, memory, generation, context = load(sys.argv[1])
    sizes = sorted({size for (_, _, size) in results})
    ops = [op for op in LABELS if any((op, "qarvel", s) in results for s in sizes)]
    smallest, largest = (sizes[0], sizes[-1]) if sizes else (None, None)

    cpu, cores, mem = machine()
    out = []
    out.append(f"Machine: {cpu}, {cores} cores, {mem} memory; {system()}; "
               f"Google Benchmark {benchmark_version(context)}.")
    out.append("")
    out.append("Median wall time of the repetitions (5; 3 for reads of the whole table), in milliseconds. "
               "*qarvel*: the handler with the widget fill it does; *shown*: that and the repaint that follows it. *store SQL*: the statement the store builds for "
               "the operation, run bare. *SQL*: the bare statement that yields the same result, on the same file "
               "and connection in the same run. *Ratio*: qarvel over SQL. *Growth*: qarvel at this size over "
               f"qarvel at {smallest:,} records. *Rows*: what the operation returns.")
    out.append("")
    out.append("| operation | N | qarvel | shown | store SQL | SQL | ratio | growth | rows |")
    out.append("|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    # Budget name -> list of (ok, text)
    budgets = {
        "Lookups well under one frame (16 ms; taken as under 8 ms, repaint included)": [],
        f"Date-bounded operations at {largest:,} within 2× of {smallest:,}": [],
        f"Save and start-up at {largest:,} within 2× of {smallest:,}": [],
        "Every operation within 2× of its bare SQL": [],
    }
    lookup_b, date_b, size_b, ratio_b = budgets.keys()
    unbudgeted = []
    ratios = {}
    for op in ops:
        base = results.get((op, "qarvel", smallest), {}).get("median")
        for size in sizes:
            q = results.get((op, "qarvel", size))
            if not q:
                continue
            s = results.get((op, "sql", size))
            shown = results.get((op, "shown", size))
            store = results.get((op, "store", size))
            qm = q["median"]
            sm = s["median"] if s else None
            shm = shown["median"] if shown else None
            ratio = f"{qm / sm:.1f}" if qm and sm else "—"
            growth = f"{qm / base:.2f}" if qm and base else "—"
            rows = q.get("rows")
            rows_text = f"{rows:,.0f}" if isinstance(rows, (int, float)) else ""
            label = LABELS[op] if size == sizes[0] else ""
            err = f" ({q['error']})" if q.get("error") else ""
            stm = ms(store["median"]) if store else ""
            out.append(f"| {label}{err} | {size:,} | {ms(qm)} | {ms(shm) if shown else ''} | {stm} | {ms(sm)} "
                       f"| {ratio} | {growth} | {rows_text} |")

            if qm is None:
                budgets[ratio_b].append((False, f"{op} at {size:,} did not run: {q.get('error')}"))
                continue
            if sm:
                ratios.setdefault(op, []).append(qm / sm)
            seen = shm if shm is not None else qm
            if op in LOOKUPS:
                budgets[lookup_b].append((seen < FRAME_MS / 2, f"{op} at {size:,}: {ms(seen)} ms"))
            if size == largest and base and len(sizes) > 1:
                growth_ok = qm / base <= 2
                text = f"{op}: {qm / base:.2f}×"
                if op in DATE_BOUNDED:
                    budgets[date_b].append((growth_ok, text))
                elif op in SIZE_FREE:
                    budgets[size_b].append((growth_ok, text))
                elif not growth_ok:
                    unbudgeted.append(f"{op}: {qm / base:.1f}× from {smallest:,} to {largest:,} records "
                                      f"({ms(qm)} ms)")

    out.append("")
    out.append("| N | memory after start-up | peak memory (whole run of this size) |")
    out.append("|--:|--:|--:|")
    for size in sizes:
        m = memory.get(size)
        if m:
            out.append(f"| {size:,} | {m['rss_after_startup_kb'] / 1024:.0f} MiB | {m['peak_rss_kb'] / 1024:.0f} MiB |")
    if generation:
        out.append("")
        out.append("Data generation (qarvel_generate):")
        out.append("")
        for size in sorted(generation):
            out.append(f"- {size:,}: " + generation[size].replace("\n", "; "))
    for op, values in ratios.items():
        low, high = min(values), max(values)
        span = f"{low:.1f}×" if f"{low:.1f}" == f"{high:.1f}" else f"{low:.1f}–{high:.1f}×"
        budgets[ratio_b].append((high <= 2, f"{op} {span}"))
    out.append("")
    out.append("Budgets:")
    out.append("")
    for name, checks in budgets.items():
        missed = [text for ok, text in checks if not ok]
        if not checks:
            verdict = "no figures"
        else:
            verdict = "**not met**: " + "; ".join(missed) if missed else "met"
        out.append(f"- {name}: {verdict}")
    if unbudgeted:
        out.append("")
        out.append("Without a budget, but growing with the table:")
        out.append("")
        out.extend(f"- {u}" for u in unbudgeted)
    print("\n".join(out))


if __name__ == "__main__":
    main()
