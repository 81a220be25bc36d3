#!/usr/bin/env python3
"""Prints one line per figure from Google Benchmark JSON files, with the ratios the targets name.

Medians over the repetitions; every ratio is taken between figures of the same run.
"""
import json
import sys
from collections import defaultdict

runs = defaultdict(list)  # run name -> its repetitions
medians = {}
for path in sys.argv[1:]:
    with open(path) as f:
        for b in json.load(f)["benchmarks"]:
            name = b["run_name"].split("/iterations:")[0]
            if b.get("error_occurred"):
                print(f"ERROR {name}: {b.get('error_message')}")
                continue
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    medians[name] = b
            else:
                runs[name].append(b)
for name, reps in runs.items():
    medians.setdefault(name, reps[len(reps) // 2])

SECOND = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
misses = []


def seconds(name):
    b = medians[name]
    return b["real_time"] * SECOND[b["time_unit"]]


def rate(name):
    return medians[name]["bytes_per_second"]


def verdict(ok, what):
    if not ok:
        misses.append(what)
    return "ok  " if ok else "MISS"


for dialect in ("legacy", "modern"):
    for calls in (1000, 10000, 100000):
        tail = f"/{dialect}/{calls}"
        if "memchr" + tail not in medians:
            continue
        floor = rate("memchr" + tail)
        b = medians["memchr" + tail]
        print(f"{'memchr' + tail:28} {floor / 1e9:7.2f} GB/s {b['items_per_second'] / 1e6:7.2f} M calls/s"
              f"  ({b['bytes'] / 1e6:.1f} MB, {b['lines'] / 1e6:.2f} M lines)")
        for kind in ("framing_1k", "framing_64k", "framing_whole"):
            name = kind + tail
            if name in medians:
                r = rate(name) / floor
                print(f"{name:28} {rate(name) / 1e9:7.2f} GB/s {medians[name]['items_per_second'] / 1e6:7.2f} M calls/s"
                      f"  framing/memchr {r:5.2f}  {verdict(r >= 0.5, name + ' below half the memchr rate')} (>= 0.50)")
        if "framing_whole" + tail in medians and "framing_1k" + tail in medians:
            r = rate("framing_whole" + tail) / rate("framing_1k" + tail)
            print(f"{'whole vs 1k chunks' + tail:28} per-byte rate ratio {r:5.2f}  "
                  f"{verdict(r >= 0.95, 'whole-listing chunk slower per byte than 1 KiB chunks' + tail)} (>= 1, 5% noise allowed)")
        name = "client" + tail
        if name in medians:
            r = rate(name) / floor
            print(f"{name:28} {rate(name) / 1e6:7.1f} MB/s {medians[name]['items_per_second'] / 1e6:7.2f} M calls/s"
                  f"  full/memchr {r:5.3f}  {verdict(r >= 0.1, name + ' below a tenth of the memchr rate')} (>= 0.10)")
    small, mid, big = (f"client/{dialect}/{n}" for n in (1000, 10000, 100000))
    if mid in medians and big in medians:
        r = seconds(big) / seconds(mid)
        extra = f", 10k/1k {seconds(mid) / seconds(small):5.2f}" if small in medians else ""
        print(f"{'growth client/' + dialect:28} 100k/10k cost {r:5.2f}{extra}  "
              f"{verdict(r <= 11, 'growth 100k/10k ' + dialect)} (<= 11)")

for dialect in ("legacy", "modern"):
    name = f"window/{dialect}/10000"
    if name not in medians:
        continue
    ms = seconds(name) * 1e3
    stall = max(b.get("longest_stall_ms", 0) for b in runs.get(name, [medians[name]]))
    rss = max(b.get("peak_rss_mib", 0) for b in runs.get(name, [medians[name]]))
    print(f"{name:28} {ms:7.1f} ms Refresh List to last entry shown  "
          f"{verdict(ms < 150, name + ' slower than 150 ms')} (< 150 ms)")
    print(f"{name + ' stall':28} {stall:7.0f} ms longest event-loop stall while the listing arrives")
    print(f"{name + ' memory':28} {rss:7.1f} MiB peak RSS of the process  "
          f"{verdict(rss * 1.048576 < 60, name + ' peak memory 60 MB or more')} (< 60 MB)")

# Live mode, the client alone: what following 10,000 calls costs the event loop.
if "live_churn/modern/10000" in medians:
    b = medians["live_churn/modern/10000"]
    rate = b["churn_calls_per_s"]
    share = 1000 / rate * 100
    print(f"{'live_churn/modern/10000':28} {rate / 1e3:7.1f} k calls/s started or ended, events applied by one core; "
          f"500+500 calls/s take {share:5.2f} % of a core (the client alone)")
if "live_set_remove_add/10000" in medians:
    ns = seconds("live_set_remove_add/10000") * 1e9
    print(f"{'live_set_remove_add/10000':28} {ns:7.0f} ns per call ended at a random row plus one started")
if "live_listing/modern/10000" in medians:
    ms = seconds("live_listing/modern/10000") * 1e3
    print(f"{'live_listing/modern/10000':28} {ms:7.1f} ms per periodic listing reconciled; every 15 s: "
          f"{ms / 15000 * 100:5.2f} % of a core")
if "live_entry/10000" in medians:
    ns = seconds("live_entry/10000") * 1e9
    print(f"{'live_entry/10000':28} {ns:7.0f} ns per entry made for the view; a tick of 30 visible rows: {30 * ns / 1e3:5.1f} us")

# Live mode end to end: the real window following the simulator's churn (one run of a minute).
for dialect in ("modern", "legacy"):
    name = f"live_window/{dialect}/10000"
    if name not in medians:
        continue
    b = medians[name]
    cpu = b["cpu_share"] * 100
    print(f"{name + ' cpu':28} {cpu:7.1f} % of one core during {seconds(name):.0f} s of 500+500 calls/s  "
          f"{verdict(cpu < 50, name + ' above half a core')} (< 50 %)")
    print(f"{name + ' stall':28} {b['longest_stall_ms']:7.1f} ms longest event-loop stall during the churn  "
          f"{verdict(b['longest_stall_ms'] < 50, name + ' stall of 50 ms or more')} (< 50 ms)")
    print(f"{name + ' converge':28} {b['converge_ms']:7.0f} ms from the churn's end until the list equals the PBX's channels  "
          f"{verdict(b['converge_ms'] < 2000, name + ' list not equal to the PBX within 2 s')} (< 2000 ms)")
    if "rss_20s_mib" in b:
        # From 20 s on, after the first periodic listing (15 s), whose buffers stay for the next.
        growth = b["rss_end_mib"] - b["rss_20s_mib"]
        print(f"{name + ' memory':28} {b['rss_10s_mib']:7.1f} MiB after 10 s, {b['rss_20s_mib']:.1f} after 20 s, "
              f"{b['rss_end_mib']:.1f} at the end, {b['rss_max_mib']:.1f} at most since 20 s  "
              f"{verdict(growth < 1, name + ' memory grew')} (no growth)")

# Reconnection: from the simulator taking connections again after a restart until the list
# equals its 10,000 calls, the window's retry schedule included.
name = "reconnect/modern/10000"
if name in medians:
    ms = seconds(name) * 1e3
    print(f"{name:28} {ms:7.0f} ms from the restarted PBX taking connections until the list equals its calls "
          f"(worst {medians[name]['worst_ms']:.0f} ms)  {verdict(ms < 1000, name + ' 1 s or more')} (< 1000 ms)")

# The console's model with 10,000 conversations of two legs.
name = "console/filter_keystroke"
if name in medians:
    ms = seconds(name) * 1e3
    print(f"{name:28} {ms:7.1f} ms a keystroke in the filter over 10,000 conversations  "
          f"{verdict(ms < 30, name + ' 30 ms or more')} (< 30 ms)")
name = "console/sort_by_duration"
if name in medians:
    ms = seconds(name) * 1e3
    print(f"{name:28} {ms:7.1f} ms a sort by duration over 10,000 conversations  "
          f"{verdict(ms < 50, name + ' 50 ms or more')} (< 50 ms)")
for name, what in (("console/call_replaced", "a call of two legs ended and another started, shown sorted"),
                   ("console/call_replaced_grouping_only", "the same, the live calls and their grouping alone")):
    if name in medians:
        print(f"{name:28} {seconds(name) * 1e6:7.1f} us {what}")

def stall_cpu(name, b):
    # On a busy machine a stall is mostly the wait for a core: this is the work in it.
    if "longest_stall_cpu_ms" in b:
        print(f"{name + ' stall work':28} {b['longest_stall_cpu_ms']:7.1f} ms most processor time the event loop used "
              f"between two of the probe's notes")


# The console end to end: 30 s of 500 conversations ending and 500 starting a second.
name = "console_live/modern/10000"
if name in medians:
    b = medians[name]
    cpu = b["cpu_share"] * 100
    print(f"{name + ' cpu':28} {cpu:7.1f} % of one core during {seconds(name):.0f} s of 500+500 conversations/s  "
          f"{verdict(cpu < 50, name + ' above half a core')} (< 50 %)")
    print(f"{name + ' stall':28} {b['longest_stall_ms']:7.1f} ms longest event-loop stall during the churn  "
          f"{verdict(b['longest_stall_ms'] < 50, name + ' stall of 50 ms or more')} (< 50 ms)")
    stall_cpu(name, b)
    print(f"{name + ' converge':28} {b['converge_ms']:7.0f} ms from the churn's end until the tree equals the PBX's conversations  "
          f"{verdict(b['converge_ms'] < 2000, name + ' tree not equal to the PBX within 2 s')} (< 2000 ms)")
    if "rss_20s_mib" in b:
        growth = b["rss_end_mib"] - b["rss_20s_mib"]
        print(f"{name + ' memory':28} {b['rss_10s_mib']:7.1f} MiB after 10 s, {b['rss_20s_mib']:.1f} after 20 s, "
              f"{b['rss_end_mib']:.1f} at the end, {b['rss_max_mib']:.1f} at most since 20 s  "
              f"{verdict(growth < 1, name + ' memory grew')} (no growth from 20 s)")
# The console with several PBXs: five under churn, twenty connected at once.
name = "console_pbxs/churn/5x2000"
if name in medians:
    b = medians[name]
    cpu = b["cpu_share"] * 100
    print(f"{name + ' cpu':28} {cpu:7.1f} % of one core during {seconds(name):.0f} s of 100+100 calls/s on each of 5 PBXs  "
          f"{verdict(cpu < 50, name + ' above half a core')} (< 50 %)")
    print(f"{name + ' stall':28} {b['longest_stall_ms']:7.1f} ms longest event-loop stall during the churn  "
          f"{verdict(b['longest_stall_ms'] < 50, name + ' stall of 50 ms or more')} (< 50 ms)")
    stall_cpu(name, b)
    print(f"{name + ' converge':28} {b['converge_ms']:7.0f} ms from the churn's end until each PBX's part of the tree equals its channels  "
          f"{verdict(b['converge_ms'] < 2000, name + ' tree not right within 2 s')} (< 2000 ms)")
name = "console_pbxs/start/20x500"
if name in medians:
    ms = seconds(name) * 1e3
    print(f"{name:28} {ms:7.0f} ms from connecting 20 PBXs until all 10,000 calls are in the tree  "
          f"{verdict(ms < 2000, name + ' 2 s or more')} (< 2000 ms)")

# The queues of a call centre: 200 queues, 2,000 callers waiting, 1,000 members.
for kind in ("first", "periodic", "guarded"):
    name = f"queues_listing/{kind}/200x2000x1000"
    if name in medians:
        ms = seconds(name) * 1e3
        print(f"{name:38} {ms:7.2f} ms a QueueStatus listing framed, read and reconciled  "
              f"{verdict(ms < 20, name + ' 20 ms or more')} (< 20 ms)")
name = "queues_events/join_leave/2000"
if name in medians:
    per_s = medians[name]["events_per_s"]
    print(f"{name:38} {per_s / 1e6:7.2f} M queue events applied per second of one core; "
          f"100 joins + 100 leaves a second: {200 / per_s * 100:.3f} % of a core")

# The same end to end: a Session following 100 callers joining and 100 leaving a second.
name = "queues_live/churn"
if name in medians:
    b = medians[name]
    cpu = b["cpu_share"] * 100
    print(f"{name + ' cpu':28} {cpu:7.1f} % of one core during {seconds(name):.0f} s of 100+100 callers/s beside 10,000 conversations  "
          f"{verdict(cpu < 50, name + ' above half a core')} (< 50 %)")
    print(f"{name + ' stall':28} {b['longest_stall_ms']:7.1f} ms longest event-loop stall during the churn  "
          f"{verdict(b['longest_stall_ms'] < 50, name + ' stall of 50 ms or more')} (< 50 ms)")
    print(f"{name + ' converge':28} {b['converge_ms']:7.0f} ms from the churn's end until the queues hold the PBX's callers and members  "
          f"{verdict(b['converge_ms'] < 2000, name + ' queues not right within 2 s')} (< 2000 ms)")
    if "rss_20s_mib" in b:
        growth = b["rss_end_mib"] - b["rss_20s_mib"]
        print(f"{name + ' memory':28} {b['rss_10s_mib']:7.1f} MiB after 10 s, {b['rss_20s_mib']:.1f} after 20 s, "
              f"{b['rss_end_mib']:.1f} at the end  {verdict(growth < 1, name + ' memory grew')} (no growth from 20 s)")
# The history full: 10,000 ended calls.
name = "history/filter_keystroke"
if name in medians:
    ms = seconds(name) * 1e3
    print(f"{name:38} {ms:7.2f} ms the history's filter takes a keystroke over 10,000 calls  "
          f"{verdict(ms < 30, name + ' 30 ms or more')} (< 30 ms)")
name = "history/export_csv"
if name in medians:
    ms = seconds(name) * 1e3
    print(f"{name:38} {ms:7.2f} ms all 10,000 calls exported to CSV  "
          f"{verdict(ms < 200, name + ' 200 ms or more')} (< 200 ms)")

print("targets missed: " + ("; ".join(misses) if misses else "none"))
