"""Checks a finished run of the workflow against itself: every stats file
against the maps it read and wrote and the list it wrote, every time series
against the stats files, the seed-rain logs against the maps, and every
picture and plot for being the PNG it should be.

usage: check_workflow_results.py WORKFLOW-DIR CONFIG-FILE
Prints one line per failed check and ends with status 1 if there was any.
"""
import csv
import os
import struct
import sys

import numpy
import yaml
from PIL import Image

COHORTS = ["dorm5", "dorm4", "dorm3", "dorm2", "dorm1", "fresh"]
MAP_OF = {"dorm5": "Dorm5", "dorm4": "Dorm4", "dorm3": "Dorm3", "dorm2": "Dorm2", "dorm1": "Dorm1",
          "fresh": "Seeds"}
# The map a cohort's dormant seeds go to next year.
NEXT_MAP = {"dorm4": "Dorm5", "dorm3": "Dorm4", "dorm2": "Dorm3", "dorm1": "Dorm2", "fresh": "Dorm1"}
SPACING = 10007

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def map_sum(path):
    with Image.open(path) as image:
        check(image.mode == "P" and image.size == (5000, 5000), f"{path}: not a 5000 x 5000 palette map")
        return int(numpy.asarray(image, dtype=numpy.int64).sum())


def lines_in(path):
    with open(path) as stream:
        return sum(1 for _ in stream)


def png_size(path):
    with open(path, "rb") as stream:
        head = stream.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def read_csv(path):
    with open(path, newline="") as stream:
        return list(csv.DictReader(stream))


def stream_seed(scenario, replicate, year):
    base = int(scenario.get("seed", 1))
    return 1 + ((base - 1) + (replicate - 1) * SPACING + (year - 1)) % 2147483646


def seeds_in_map_from_log(path):
    for line in open(path):
        if line.startswith("Seeds in the map: "):
            return int(line.split()[4])
    return None


def check_year(root, name, scenario, replicate, year):
    here = f"{root}/rep{replicate}/year{year}"
    there = f"{root}/rep{replicate}/year{year + 1}"
    stats_path = f"{root}/rep{replicate}/stats/into_year{year + 1}.csv"
    rows = {row["cohort"]: row for row in read_csv(stats_path)}
    check(list(rows) == COHORTS + ["all"], f"{stats_path}: cohorts {list(rows)}")
    seedlings = lines_in(f"{there}/Seeds_Yr{year + 1}.dat")
    kept = 0
    for cohort in COHORTS:
        row = rows[cohort]
        where = f"{stats_path} {cohort}"
        check(row["input_label"] == str(year) and row["output_label"] == str(year + 1), f"{where}: labels")
        check(int(row["seed"]) == stream_seed(scenario, replicate, year), f"{where}: seed {row['seed']}")
        read = map_sum(f"{here}/{MAP_OF[cohort]}_Yr{year}.png")
        check(int(row["seeds_read"]) == read, f"{where}: seeds_read {row['seeds_read']}, the map holds {read}")
        fates = int(row["lost_to_predation"]) + int(row["germinated"]) + int(row["dormant"])
        check(fates == read, f"{where}: lost + germinated + dormant = {fates}, not {read}")
        carried = map_sum(f"{there}/{NEXT_MAP[cohort]}_Yr{year + 1}.png") if cohort in NEXT_MAP else 0
        check(int(row["carried_over"]) == carried, f"{where}: carried_over {row['carried_over']}, map {carried}")
        check(int(row["seedlings_kept"]) <= int(row["germinated"]), f"{where}: more kept than germinated")
        kept += int(row["seedlings_kept"])
    check(int(rows["all"]["seedlings_kept"]) == seedlings,
          f"{stats_path}: {rows['all']['seedlings_kept']} seedlings, the list has {seedlings}")
    check(kept == seedlings or (kept == 0 and seedlings == 1), f"{stats_path}: cohorts kept {kept} of {seedlings}")
    rained = seeds_in_map_from_log(f"{root}/rep{replicate}/logs/seedrain_{year}.log")
    check(rained == map_sum(f"{here}/Seeds_Yr{year}.png"), f"{here}: seedrain reported {rained} seeds")
    return rows


def check_scenario(workflow, results, pictures, name, scenario):
    root = f"{workflow}/{results}/{name}"
    years = int(scenario["years"])
    replicates = int(scenario.get("replicates", 1))
    start = open(f"{root}/start/seedlings.dat").read()
    check(lines_in(f"{root}/start/seedlings.dat") == int(scenario["density"]) + 1, f"{root}: starting list")
    expected = {}
    for replicate in range(1, replicates + 1):
        check(open(f"{root}/rep{replicate}/year1/Seeds_Yr1.dat").read() == start, f"{root}: year 1 list")
        for k in range(1, 6):
            check(map_sum(f"{root}/rep{replicate}/year1/Dorm{k}_Yr1.png") == 0, f"{root}: year 1 Dorm{k}")
        for year in range(1, years + 1):
            expected[(replicate, year)] = check_year(root, name, scenario, replicate, year)
        for year in range(1, years + 2):
            for program in pictures["programs"]:
                for cohort in pictures["maps"]:
                    path = f"{root}/rep{replicate}/pictures/{program}_{cohort}_Yr{year}.png"
                    check(png_size(path) == (600, 600), f"{path}: not a 600 x 600 PNG")
    series = read_csv(f"{root}/timeseries.csv")
    check(len(series) == len(expected), f"{root}/timeseries.csv: {len(series)} rows, not {len(expected)}")
    for row in series:
        rows = expected.get((int(row["replicate"]), int(row["year"])))
        if rows is None:
            check(False, f"{root}/timeseries.csv: unexpected row {row}")
            continue
        where = f"{root}/timeseries.csv replicate {row['replicate']} year {row['year']}"
        check(row["scenario"] == name and row["seed"] == rows["all"]["seed"], f"{where}: scenario or seed")
        for cohort in COHORTS:
            check(row[cohort] == rows[cohort]["seeds_read"], f"{where}: {cohort}")
        for column, stats_column in [("seed_bank", "seeds_read"), ("lost_to_predation", "lost_to_predation"),
                                     ("germinated", "germinated"), ("seedlings", "seedlings_kept")]:
            check(row[column] == rows["all"][stats_column], f"{where}: {column}")
    size = png_size(f"{root}/timeseries.png")
    check(size is not None and size[0] >= 400 and size[1] >= 400, f"{root}/timeseries.png: not a plot")


def main(workflow, config_path):
    config = yaml.safe_load(open(config_path))
    pictures = config.get("pictures", {"programs": ["blockmap"], "maps": ["Seeds"]})
    results = config.get("results", "results")
    for name, scenario in config["scenarios"].items():
        check_scenario(workflow, results, pictures, name, scenario)
    size = png_size(f"{workflow}/{results}/comparison.png")
    check(size is not None and size[0] >= 400 and size[1] >= 400, "comparison.png: not a plot")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
