# meterlink-cli stats --json against the same figures computed with pandas.
# usage: python3 stats_against_pandas.py CLI DIR
# Writes a log as CSV and as JSON lines into DIR, runs the statistics over
# both (whole, and a --from/--to window), and checks every key.
import json
import math
import random
import subprocess
import sys

import pandas

cli, folder = sys.argv[1], sys.argv[2]
random.seed(29)

rows = []
t = 1765378135000  # ms, 2025-12-10
units = [("V", "DC"), ("\u03a9", "OHM"), ("A", "DC")]
unit = 0
for i in range(3000):
    t += random.randint(200, 1500)
    if i == 1700:
        t -= 60000  # the clock set back by hand
    if i % 400 == 399:
        unit = (unit + 1) % len(units)
    offset = 60 if i < 1500 else 120
    kind = random.random()
    symbol, function = units[unit]
    value = None if kind < 0.02 else round(random.uniform(-5, 5) * 10 ** random.randint(-3, 3), 6)
    overload = kind < 0.01
    verdict = "" if kind > 0.97 else ("fail" if (value is None or abs(value) > 900) else "pass")
    rows.append(dict(ms=t, offset=offset, no=i + 1, function=function, value=value, unit=symbol,
                     overload=overload, verdict=verdict))


def iso(ms, offset):
    local = pandas.Timestamp(ms + offset * 60000, unit="ms")
    sign = "+" if offset >= 0 else "-"
    return local.strftime("%Y-%m-%dT%H:%M:%S.") + "%03d" % (ms % 1000) + "%s%02d:%02d" % (sign, abs(offset) // 60, abs(offset) % 60)


def display(r):
    if r["overload"]:
        return "OL " + r["unit"]
    if r["value"] is None:
        return "---- " + r["unit"]
    return "%s %s" % (repr(r["value"]), r["unit"])


csv_path = folder + "/log.csv"
jsonl_path = folder + "/log.jsonl"
with open(csv_path, "w", encoding="utf-8", newline="") as f:
    # Columns in another order, and one more, as a newer writer might.
    f.write("no,timestamp,function,value,unit,display,range,verdict,high_limit\r\n")
    for r in rows:
        value = "" if r["value"] is None else repr(r["value"])
        f.write("%d,%s,%s,%s,%s,%s,auto,%s,900\r\n" % (r["no"], iso(r["ms"], r["offset"]), r["function"], value,
                                                        r["unit"], display(r), r["verdict"]))
with open(jsonl_path, "w", encoding="utf-8") as f:
    for r in rows:
        f.write(json.dumps(dict(timestamp=iso(r["ms"], r["offset"]), no=r["no"], function=r["function"],
                                value=r["value"], unit=r["unit"], display=display(r), range="auto",
                                verdict=r["verdict"] or None, overload=r["overload"]), ensure_ascii=False) + "\n")

frame = pandas.read_csv(csv_path, keep_default_na=False, na_values={"value": [""]})
frame["time"] = pandas.to_datetime(frame["timestamp"], utc=True)


def expected(d):
    d = d.reset_index(drop=True)
    following = d["time"].shift(-1)
    outside = ((following - d["time"]).dt.total_seconds().clip(lower=0)).where(d["verdict"] == "fail", 0).fillna(0)
    d = d.assign(outside=outside)
    out = {}
    for unit, g in d.groupby("unit", sort=False):
        v = g["value"].dropna()
        out[unit] = dict(
            count=len(g), min=v.min(), max=v.max(), mean=v.mean(), std=v.std(ddof=1),
            min_time=g.loc[v.idxmin(), "time"], max_time=g.loc[v.idxmax(), "time"],
            pass_=int((g["verdict"] == "pass").sum()), fail=int((g["verdict"] == "fail").sum()),
            time_outside_s=g["outside"].sum(), first=g["time"].iloc[0], last=g["time"].iloc[-1])
    return out


def check(args, d, label):
    run = subprocess.run([cli, "stats", csv_path, jsonl_path, "--json"] + args, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    lines = [json.loads(line) for line in run.stdout.splitlines()]
    want = expected(d)
    assert len(lines) == 2 * len(want), (label, len(lines), len(want))
    for got in lines:
        assert list(got)[:15] == ["file", "unit", "count", "min", "min_time", "max", "max_time", "mean", "std",
                                  "pass", "fail", "time_outside_s", "first", "last", "duration_s"], list(got)
        w = want[got["unit"]]
        where = "%s %s %s" % (label, got["file"], got["unit"])
        assert got["count"] == w["count"], (where, got["count"], w["count"])
        for key in ("min", "max", "mean", "std"):
            assert math.isclose(got[key], w[key], rel_tol=1e-9, abs_tol=1e-12), (where, key, got[key], w[key])
        for key in ("min_time", "max_time", "first", "last"):
            assert pandas.Timestamp(got[key]) == w[key], (where, key, got[key], w[key])
        assert got["pass"] == w["pass_"] and got["fail"] == w["fail"], (where, got["pass"], got["fail"])
        assert math.isclose(got["time_outside_s"], w["time_outside_s"], abs_tol=1e-6), (where, got["time_outside_s"], w["time_outside_s"])
        assert math.isclose(got["duration_s"], max(0, (w["last"] - w["first"]).total_seconds()), abs_tol=1e-6), where


check([], frame, "whole log")
# A window by time: rows whose times lie in it (the log is in time order there).
start, end = rows[300], rows[1200]
window = frame[(frame["time"] >= frame["time"][300]) & (frame["time"] <= frame["time"][1200])]
check(["--from", iso(start["ms"], start["offset"]), "--to", iso(end["ms"], end["offset"])], window, "from/to")
print("ok")
