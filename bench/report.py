#!/usr/bin/env python3
"""Turns the qarvel_bench results of one run into the performance table (Markdown).

usage: report.py <results folder>

The folder holds, per size N, N.json (Google Benchmark, JSON), N.mem.json (memory) and
optionally generate-N.txt (what qarvel_generate printed), startup-N-login.json,
startup-N-main.json (what qarvel_startup printed) and server-N.json (qarvel_bench_server).
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
    "search_surname": "Record search by a surname alone (a tenth of all records)",
    "search_rare": "Record search by a rare name",
    "search_nobody": "Record search by a name nobody has",
    "search_all": "Record search with both boxes empty (every record)",
    "search_all_scroll": "Every record: a page far down scrolled to",
    "search_surname_scroll": "A surname: a page far down scrolled to",
    "search_name_date": "Record search by name and date",
    "search_month": "Record search by month",
    "search_decades": "Record search by decades (\"19\": most records, the first ones)",
    "search_decades_late": "Record search by decades (\"20\": the later records)",
    "save": "Save (insert, tree rebuilt)",
    "open": "Open a record",
    "stats_day": "Statistics of a day",
    "stats_month": "Statistics of a month",
    "log_day": "Outpatient log of a day (query, grid)",
    "log_month": "Outpatient log of a month (query, grid)",
    "print_logbook_month": "Log book of a month into PDF (written behind the window)",
    "print_prescription": "Prescription print into PDF",
}

LOOKUPS = {"lookup_drug", "lookup_drug_nomatch", "lookup_diagnosis", "lookup_diagnosis_all", "lookup_address",
           "lookup_address_all"}
DATE_BOUNDED = {"search_name_date", "search_month", "stats_day", "stats_month", "log_day", "log_month"}
SIZE_FREE = {"save", "startup", "startup_backup_day"}
NAME_SEARCHES = {"search_name", "search_surname", "search_rare", "search_nobody"}
# The server's figures (qarvel_bench_server) beside the desk's operation they time: the first
# page, or the whole result read a page at a time.
SERVER_OPS = {
    "lookup_keystroke": ("lookup_drug", "server"),
    "open_by_key": ("open", "server"),
    "statistics_day": ("stats_day", "server"),
    "statistics_month": ("stats_month", "server"),
    "name_surname_first_100": ("search_surname", "server"),
    "name_surname_end": ("search_surname", "server_end"),
    "name_full_first_100": ("search_name", "server"),
    "name_full_end": ("search_name", "server_end"),
    "name_rare_first_100": ("search_rare", "server"),
    "name_rare_end": ("search_rare", "server_end"),
    "name_nobody_first_100": ("search_nobody", "server"),
    "name_nobody_end": ("search_nobody", "server_end"),
    "name_surname_day_end": ("search_name_date", "server_end"),
    "date_search_19_first_100": ("search_decades", "server"),
    "date_search_20_first_100": ("search_decades_late", "server"),
    "save": ("save", "server"),
}
FRAME_MS = 16.0
ACTION_MS = 100.0
LOGIN_MS = 500.0
SEARCH_MEMORY_MB = 150.0
# Not run on the window's thread, or not shown to the doctor as a result.
OFF_WINDOW = {"backup", "startup", "startup_backup_day"}
# Written behind the window after a press that greys the button at once: the window's budgets
# take what the window was held (the longest it did not answer until the result was written);
# the whole, to the result written, stays in the table.
BEHIND_WINDOW = {"print_logbook_month"}


def benchmark_json(path):
    """Google Benchmark's JSON; 1.7.1 sometimes writes an empty entry (",,") between runs."""
    with open(path, encoding="utf-8") as f:
        return json.loads(re.sub(r",\s*,", ",", f.read()))


def load(folder):
    """{(op, side, N): {"median": ms, "rows": n}}, memory {N: {...}}, generation {N: text}"""
    results, memory, generation, startup = {}, {}, {}, {}
    context = None
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if re.fullmatch(r"\d+\.json", name):
            data = benchmark_json(path)
            context = context or data.get("context")
            for b in data["benchmarks"]:
                if b.get("aggregate_name") != "median":
                    continue
                parts = b["run_name"].split("/")
                op, side, size = parts[0], parts[1], int(parts[2])
                entry = {"median": b["real_time"], "rows": b.get("rows"), "rss_mb": b.get("rss_mb"),
                         "first_ms": b.get("first_ms"), "longest_step_ms": b.get("longest_step_ms"),
                         "held_ms": b.get("held_ms"),
                         "error": b.get("error_message")}
                results[(op, side, size)] = entry
            for b in data["benchmarks"]:
                if b.get("error_occurred"):
                    parts = b["run_name"].split("/")
                    results[(parts[0], parts[1], int(parts[2]))] = {"median": None, "rows": None,
                                                                   "error": b.get("error_message")}
        elif re.fullmatch(r"server-\d+\.json", name):
            size = int(re.search(r"\d+", name).group())
            data = benchmark_json(path)
            for b in data["benchmarks"]:
                parts = b["run_name"].split("/")
                if b.get("aggregate_name") not in (None, "median") or len(parts) < 3 or parts[2] != "qarvel":
                    continue
                if parts[1] in SERVER_OPS and (b.get("aggregate_name") == "median" or
                                               (SERVER_OPS[parts[1]][0], SERVER_OPS[parts[1]][1], size) not in results):
                    op, side = SERVER_OPS[parts[1]]
                    results[(op, side, size)] = {"median": b["real_time"], "rows": None,
                                                 "longest_step_ms": b.get("longest_step_ms"),
                                                 "error": b.get("error_message")}
        elif re.fullmatch(r"\d+\.mem\.json", name):
            with open(path, encoding="utf-8") as f:
                m = json.load(f)
            memory[m["records"]] = m
        elif re.fullmatch(r"startup-\d+-(login|main)\.json", name):
            with open(path, encoding="utf-8") as f:
                size, which = re.fullmatch(r"startup-(\d+)-(\w+)\.json", name).groups()
                startup[(int(size), which)] = json.loads(f.read().strip().splitlines()[-1])
        elif re.fullmatch(r"generate-\d+\.txt", name):
            with open(path, encoding="utf-8") as f:
                generation[int(re.search(r"\d+", name).group())] = f.read().strip()
    return results, memory, generation, startup, context or {}


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
    results, memory, generation, startup, context = load(sys.argv[1])
    sizes = sorted({size for (_, _, size) in results})
    ops = [op for op in LABELS if any((op, side, s) in results for s in sizes for side in ("qarvel", "shown"))]
    smallest, largest = (sizes[0], sizes[-1]) if sizes else (None, None)

    cpu, cores, mem = machine()
    out = []
    out.append(f"Machine: {cpu}, {cores} cores, {mem} memory; {system()}; "
               f"Google Benchmark {benchmark_version(context)}.")
    out.append("")
    out.append("Median wall time of the repetitions (5; 3 for reads of the whole table), in milliseconds. "
               "*qarvel*: the handler with the widget fill it does; *shown*: that and the repaint that follows it; "
               "*cold*: shown, the first time, on files just opened (the engine's cache empty, the names not read). "
               "*to its end*: a search by name read to its end a page of 100 at a time, on files just opened. "
               "*server*, *server, to its end*: the same on the shared server (PostgreSQL, on this machine). "
               "*store SQL*: the statement the store builds for "
               "the operation, run bare. *SQL*: the bare statement that yields the same result, on the same file "
               "and connection in the same run. *Ratio*: qarvel over SQL. *Growth*: qarvel at this size over "
               f"qarvel at {smallest:,} records. *Rows*: what the operation returns.")
    out.append("")
    out.append("| operation | N | qarvel | shown | cold | to its end (cold) | server | server, to its end "
               "| store SQL | SQL | ratio | growth | rows |")
    out.append("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|")
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
    felt = {}  # op -> [shown warm, cold] at the largest size
    steps = {}  # op -> the longest the window did not answer, warm and cold, at the largest size
    passes = []  # cold steps done in more than one pass of the event loop
    behind = []  # results written behind the window
    notes = {}  # op -> what its verdict adds to its figure
    search_memory = {}
    name_searches = []  # (met, ms, text): every search by name, each size, both engines
    for op in ops:
        base = (results.get((op, "qarvel", smallest)) or results.get((op, "shown", smallest)) or {}).get("median")
        for size in sizes:
            # Some steps are only timed with their repaint (a scrolled page).
            q = results.get((op, "qarvel", size)) or results.get((op, "shown", size))
            if not q:
                continue
            s = results.get((op, "sql", size))
            shown = results.get((op, "shown", size))
            cold = results.get((op, "cold", size))
            cm = cold["median"] if cold else None
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
            extra = {side: results.get((op, side, size)) for side in ("end_cold", "server", "server_end")}
            extra_text = " | ".join(ms(e["median"]) if e else "" for e in extra.values())
            out.append(f"| {label}{err} | {size:,} | {ms(qm)} | {ms(shm) if shown else ''} | {ms(cm) if cold else ''} "
                       f"| {extra_text} | {stm} | {ms(sm)} "
                       f"| {ratio} | {growth} | {rows_text} |")
            if op in NAME_SEARCHES:
                for side, what in (("cold", "first page, desk"), ("end_cold", "to its end, desk"),
                                   ("server", "first page, server"), ("server_end", "to its end, server")):
                    e = extra.get(side) or (cold if side == "cold" else None)
                    if e and e.get("median") is not None:
                        name_searches.append((e["median"] < ACTION_MS, e["median"],
                                              f"{op} at {size:,}, {what} {ms(e['median'])} ms"))
                    if e and size == largest and e.get("longest_step_ms") is not None:
                        steps[f"{op} ({what})"] = [e["longest_step_ms"]]

            if qm is None:
                budgets[ratio_b].append((False, f"{op} at {size:,} did not run: {q.get('error')}"))
                continue
            if size == largest and op in BEHIND_WINDOW and q.get("longest_step_ms") is not None:
                felt[op] = steps[op] = [q["longest_step_ms"]]
                notes[op] = f" held (written behind the window in {ms(qm)} ms)"
                behind.append(f"{op}: the press {ms(q.get('held_ms'))} ms, the longest the window did not answer "
                              f"{ms(q['longest_step_ms'])} ms, written in {ms(qm)} ms")
            elif size == largest:
                felt[op] = [v for v in (shm if shm is not None else qm, cm) if v is not None]
                longest_cold = cold.get("longest_step_ms") if cold else None
                # A first page read in several passes of the event loop: its longest pass.
                longest_warm = (shown or q).get("longest_step_ms")
                steps[op] = [v for v in (longest_warm or (shm if shm is not None else qm), longest_cold or cm)
                             if v is not None]
            if size == largest and op.startswith("search") and cold and cold.get("first_ms") is not None:
                passes.append(f"{op}: first rows or the busy cursor {ms(cold['first_ms'])} ms, "
                              f"the longest pass {ms(cold['longest_step_ms'])} ms, the first page all there "
                              f"{ms(cm)} ms")
                for entry in (q, shown):
                    if entry and entry.get("rss_mb") is not None:
                        search_memory[op] = max(search_memory.get(op, 0), entry["rss_mb"])
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
    if passes:
        out.append("")
        out.append(f"The searches the first time at {largest:,} records, the event loop run until the first page "
                   "is all there (medians):")
        out.append("")
        out.extend(f"- {p}" for p in passes)
    if behind:
        out.append("")
        out.append(f"Written behind the window at {largest:,} records (medians; the table's figure is the whole):")
        out.append("")
        out.extend(f"- {b}" for b in behind)
    if generation:
        out.append("")
        out.append("Data generation (qarvel_generate):")
        out.append("")
        for size in sorted(generation):
            out.append(f"- {size:,}: " + generation[size].replace("\n", "; "))
    if startup:
        out.append("")
        out.append("Start-up driven from outside (qarvel_startup: the real executable on an X display, from the "
                   "process started to the window mapped and painted; the first run with the data files out of "
                   "the system's file cache):")
        out.append("")
        out.append("| N | window | first run (cold) | median of the others | CPU time of the process by then "
                   "| then Return to the main window | then every record searched: first rows shown | memory then "
                   "| then End to the last record | End pressed | peak memory |")
        out.append("|--:|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|")
        for (size, which), data in sorted(startup.items()):
            shown_ms = data.get("shown_ms") or []
            warm = sorted(shown_ms[1:])
            median = warm[len(warm) // 2] if warm else None
            cpu = sorted((data.get("cpu_ms") or [])[1:])
            label = "login dialog" if which == "login" else "main window (no login password)"
            searched = [v for v in data.get("search_ms") or [] if v >= 0]
            rss = [v for v in data.get("search_rss_mb") or [] if v >= 0]
            search_text = f"{ms(min(searched))}–{ms(max(searched))} ms" if searched else ""
            rss_text = f"{max(rss):.0f} MB" if rss else ""
            # Only runs whose last rows were those of the last month count.
            checked = data.get("last_row_checked") or []
            ends = [(t, n, p) for t, n, p, c in zip(data.get("last_row_ms") or [], data.get("end_presses") or [],
                                                     data.get("peak_rss_mb") or [], checked) if c == 1]
            wrong = sum(1 for c in checked if c == 0)
            end_text = (f"{min(t for t, _, _ in ends) / 1000:.1f}–{max(t for t, _, _ in ends) / 1000:.1f} s"
                        if ends else "")
            if wrong:
                end_text += f" ({wrong} run{'s' if wrong > 1 else ''} not at the last record)"
            presses = f"{max(n for _, n, _ in ends):.0f}" if ends else ""
            peak = max((p for _, _, p in ends), default=None)
            logged = [v for v in data.get("logged_in_ms") or [] if v >= 0]
            logged_text = f"{ms(min(logged))}–{ms(max(logged))} ms" if logged else ""
            if size == largest and logged:
                felt["main window after the login's Return (from outside)"] = logged
            out.append(f"| {size:,} | {label} | {ms(shown_ms[0]) if shown_ms else '—'} | {ms(median)} "
                       f"| {ms(cpu[len(cpu) // 2]) if cpu else '—'} | {logged_text} | {search_text} | {rss_text} "
                       f"| {end_text} | {presses} | {f'{peak:.0f} MB' if peak else ''} |")
            if size == largest and peak:
                search_memory["search_all scrolled to the last record (from outside, peak)"] = peak
            if size == largest and searched:
                felt["search_all (from outside)"] = searched
            if size == largest and rss:
                search_memory["search_all (from outside)"] = max(rss)
    for op, values in ratios.items():
        low, high = min(values), max(values)
        span = f"{low:.1f}×" if f"{low:.1f}" == f"{high:.1f}" else f"{low:.1f}–{high:.1f}×"
        budgets[ratio_b].append((high <= 2, f"{op} {span}"))
    out.append("")
    out.append(f"Budgets in what the doctor meets, at {largest:,} records:")
    out.append("")
    # Each check: (met, value, what), so that a met budget can name its worst case.
    keystroke = [(max(v) < FRAME_MS, max(v), f"{op} {'/'.join(ms(x) for x in v)} ms") for op, v in felt.items()
                 if op in LOOKUPS and v]
    actions = [(max(v) < ACTION_MS, max(v), f"{op} {'/'.join(ms(x) for x in v)} ms{notes.get(op, '')}")
               for op, v in felt.items() if op not in LOOKUPS and op not in OFF_WINDOW and v]
    steps.update({op: v for op, v in felt.items() if op not in steps})
    longest = max(((max(v), op) for op, v in steps.items() if op not in OFF_WINDOW and v), default=None)
    logins = [v for (size, which), data in startup.items() if which == "login" and size == largest
              for v in data.get("shown_ms") or []]
    user = {
        "A keystroke look-up under 16 ms shown, cold or warm": keystroke,
        "Every other action shows its result or first screenful within 100 ms, cold or warm": actions,
        "The window never stops answering for more than 100 ms (the longest step on its thread)":
            [(longest[0] < ACTION_MS, longest[0], f"{longest[1]} {ms(longest[0])} ms{notes.get(longest[1], '')}")]
            if longest else [],
        "A search by name, its first page and its end, under 100 ms on both engines, every size": name_searches,
        "Start to the login dialog under 0.5 s, every run": [(v < LOGIN_MS, v, f"{ms(v)} ms") for v in logins],
        "Memory after any search under 150 MB": [(m < SEARCH_MEMORY_MB, m, f"{op} {m:.0f} MB")
                                                 for op, m in search_memory.items()],
    }
    for name, checks in user.items():
        missed = [text for ok, _, text in checks if not ok]
        if not checks:
            verdict = "no figures"
        elif missed:
            verdict = "**not met**: " + "; ".join(missed)
        else:
            verdict = "met (the most: " + max(checks, key=lambda c: c[1])[2] + ")"
        out.append(f"- {name}: {verdict}")
    out.append("")
    out.append("Budgets of the design notes:")
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
