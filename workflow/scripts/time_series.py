"""One scenario's time series: a row per replicate and year, gathered from
the stats files that winter wrote (one per winter, see its --stats).

Columns: scenario, replicate, year (the year whose seed bank was read),
seed (the winter's starting seed), the seeds read per cohort (fresh, dorm1
.. dorm5) and their sum seed_bank, the year's lost_to_predation and
germinated seeds, and seedlings: the new seedlings listed for the next year.
"""
import csv
import re

COHORTS = ["fresh", "dorm1", "dorm2", "dorm3", "dorm4", "dorm5"]
COLUMNS = (["scenario", "replicate", "year", "seed"] + COHORTS
           + ["seed_bank", "lost_to_predation", "germinated", "seedlings"])


def replicate_of(path):
    match = re.search(r"/rep([0-9]+)/stats/", path)
    if match is None:
        raise ValueError(f"{path}: not a replicate's stats file")
    return int(match.group(1))


def row_of(path, scenario):
    with open(path, newline="") as stream:
        records = {record["cohort"]: record for record in csv.DictReader(stream)}
    missing = [name for name in COHORTS + ["all"] if name not in records]
    if missing:
        raise ValueError(f"{path}: no row for {', '.join(missing)}")
    total = records["all"]
    row = {
        "scenario": scenario,
        "replicate": replicate_of(path),
        "year": int(total["input_label"]),
        "seed": int(total["seed"]),
        "seed_bank": int(total["seeds_read"]),
        "lost_to_predation": int(total["lost_to_predation"]),
        "germinated": int(total["germinated"]),
        "seedlings": int(total["seedlings_kept"]),
    }
    for cohort in COHORTS:
        row[cohort] = int(records[cohort]["seeds_read"])
    return row


def main(stats_files, output, scenario):
    rows = sorted((row_of(path, scenario) for path in stats_files),
                  key=lambda row: (row["replicate"], row["year"]))
    with open(output, "w", newline="") as stream:
        writer = csv.DictWriter(stream, fieldnames=COLUMNS, lineterminator="\n")
        writer.writeheader()
        writer.writerows(rows)


main(list(snakemake.input), snakemake.output[0], snakemake.wildcards.scenario)
