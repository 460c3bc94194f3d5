#!/usr/bin/env python3
"""Confusion tables of the assessment on the labelled corpus.

Reads the corpus manifest (file,class,chain,group) and the jsonl that
`korvane-cli check` printed for those files; prints, per group (tune,
holdout, all), true class x assessment, and the cutoff verdict beside it,
then the two goal figures.

A transcode or an upsample whose music already ended where the chain cut
(its lossless master's wall lies no higher than the file's own, +300 Hz)
left nothing to find: those are counted apart as "traceless", and the
detection figure is given both with and without them.
Usage: confusion.py MANIFEST JSONL [--chains]
"""
import csv
import json
import sys
from collections import Counter, defaultdict

ASSESSMENTS = ["clean", "transcoded", "upsampled", "band-limited", "unknown", "error"]
VERDICTS = ["OK", "Possible", "Likely", "Error"]
CLASSES = ["genuine", "band-limited", "transcoded", "upsampled"]


def table(title, rows, columns, counts):
    width = max(len(r) for r in rows) + 2
    print(f"\n{title}")
    print("| " + "true class".ljust(width) + " | " + " | ".join(c.rjust(12) for c in columns) + " |")
    print("|" + "-" * (width + 2) + "|" + "|".join("-" * 14 for _ in columns) + "|")
    for r in rows:
        print("| " + r.ljust(width) + " | " + " | ".join(str(counts[(r, c)]).rjust(12) for c in columns) + " |")


def main():
    manifest, jsonl = sys.argv[1], sys.argv[2]
    show_chains = "--chains" in sys.argv
    truth = {}
    with open(manifest, newline="") as f:
        for row in csv.DictReader(f):
            truth[row["file"]] = row
    results = {}
    with open(jsonl) as f:
        for line in f:
            line = line.strip()
            if line:
                obj = json.loads(line)
                results[obj["path"]] = obj
    def wall(res):
        w = res["evidence"]["wall_hz"]
        return w if w > 0 else res["sample_rate"] / 2

    # The master of each clip: its lossless 44.1 kHz file, beside it.
    def traceless(path, res):
        master = results.get(path.rsplit(".", 2)[0] + ".lossless.flac")
        return master is not None and wall(master) <= wall(res) + 300

    missing = [p for p in truth if p not in results]
    if missing:
        print(f"{len(missing)} files of the manifest have no result", file=sys.stderr)

    for group in ("tune", "holdout", "all"):
        assessed = Counter()
        verdict = Counter()
        per_chain = defaultdict(Counter)
        plain = Counter()  # detection among the files that carry a trace
        n = 0
        for path, row in truth.items():
            if group != "all" and row["group"] != group:
                continue
            res = results.get(path)
            if res is None:
                continue
            n += 1
            assessed[(row["class"], res["assessment"])] += 1
            verdict[(row["class"], res["verdict"])] += 1
            per_chain[row["chain"]][res["assessment"]] += 1
            if row["class"] in ("transcoded", "upsampled"):
                if traceless(path, res):
                    per_chain[row["chain"]]["(traceless)"] += 1
                else:
                    plain["total"] += 1
                    plain["hit"] += res["assessment"] in ("transcoded", "upsampled")
        if n == 0:
            continue
        print(f"\n=== {group}: {n} files")
        table("assessment", CLASSES, ASSESSMENTS, assessed)
        table("cutoff verdict (beside it)", CLASSES, VERDICTS, verdict)

        def share(classes, hits, counts, columns):
            total = sum(counts[(c, k)] for c in classes for k in columns)
            hit = sum(counts[(c, k)] for c in classes for k in hits)
            return hit, total

        hit, total = share(["transcoded", "upsampled"], ["transcoded", "upsampled"], assessed, ASSESSMENTS)
        fa, gtotal = share(["genuine", "band-limited"], ["transcoded", "upsampled"], assessed, ASSESSMENTS)
        vhit, _ = share(["transcoded", "upsampled"], ["Possible", "Likely"], verdict, VERDICTS)
        vfa, _ = share(["genuine", "band-limited"], ["Possible", "Likely"], verdict, VERDICTS)
        pct = lambda a, b: f"{100.0 * a / b:.1f} %" if b else "n/a"
        print(f"\ntranscoded + upsampled identified: {hit}/{total} = {pct(hit, total)} (goal >= 95 %);"
              f" cutoff verdict Possible/Likely: {vhit}/{total} = {pct(vhit, total)}")
        print(f"  of them with a trace to find: {plain['hit']}/{plain['total']} = "
              f"{pct(plain['hit'], plain['total'])} ({total - plain['total']} traceless)")
        print(f"genuine called transcoded/upsampled: {fa}/{gtotal} = {pct(fa, gtotal)} (goal <= 2 %);"
              f" cutoff verdict Possible/Likely: {vfa}/{gtotal} = {pct(vfa, gtotal)}")
        if show_chains:
            print("\nper chain:")
            for chain in sorted(per_chain):
                c = per_chain[chain]
                print(f"  {chain:36s} " + "  ".join(f"{k}={c[k]}" for k in ASSESSMENTS + ["(traceless)"] if c[k]))


if __name__ == "__main__":
    main()
