#!/usr/bin/env python3
"""The reference for the chart's --summary: what a short script on the csv module does
with a recorded table, a running mean and variance (Welford) over the numeric readings."""
import csv
import json
import math
import sys

n = 0
mean = 0.0
m2 = 0.0
out_of_range = 0
with open(sys.argv[1], newline="", encoding="utf-8") as table:
    rows = csv.reader(table)
    next(rows)
    for row in rows:
        text = row[2]
        if text in ("over", "under"):
            out_of_range += 1
            continue
        value = float(text)
        n += 1
        delta = value - mean
        mean += delta / n
        m2 += delta * (value - mean)
print(json.dumps({"readings": n, "out_of_range": out_of_range, "mean_um": mean,
                  "stddev_um": math.sqrt(m2 / (n - 1)) if n > 1 else None}))
