"""Plot of one scenario's time series: the seed bank by cohort and the new
seedlings over the years, the mean over replicates as a bold line and every
replicate as a thin one."""
import csv
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after choosing the backend)
from matplotlib.ticker import MaxNLocator  # noqa: E402

COHORTS = ["fresh", "dorm1", "dorm2", "dorm3", "dorm4", "dorm5"]


def read_rows(path):
    with open(path, newline="") as stream:
        return list(csv.DictReader(stream))


def series(rows, column):
    """{replicate: ([years], [values])} and the mean per year."""
    per_replicate = defaultdict(lambda: ([], []))
    per_year = defaultdict(list)
    for row in rows:
        year, value = int(row["year"]), int(row[column])
        years, values = per_replicate[row["replicate"]]
        years.append(year)
        values.append(value)
        per_year[year].append(value)
    years = sorted(per_year)
    means = [sum(per_year[y]) / len(per_year[y]) for y in years]
    return per_replicate, years, means


def draw(axes, rows, column, label, colour):
    per_replicate, years, means = series(rows, column)
    for replicate_years, values in per_replicate.values():
        axes.plot(replicate_years, values, color=colour, linewidth=0.5, alpha=0.4)
    axes.plot(years, means, color=colour, linewidth=2, label=label)


def main(table, output, scenario):
    rows = read_rows(table)
    replicates = len({row["replicate"] for row in rows})
    figure, (bank, seedlings) = plt.subplots(2, 1, figsize=(8, 8), sharex=True)
    colours = plt.get_cmap("viridis")
    for index, cohort in enumerate(COHORTS):
        draw(bank, rows, cohort, cohort, colours(index / len(COHORTS)))
    bank.set_ylabel("seeds at the start of the year")
    plural = "" if replicates == 1 else "s"
    bank.set_title(f"{scenario}: seed bank by cohort ({replicates} replicate{plural})")
    bank.legend(loc="upper left", fontsize="small")
    draw(seedlings, rows, "seedlings", "new seedlings", "tab:green")
    seedlings.set_ylabel("new seedlings")
    seedlings.set_xlabel("year")
    seedlings.xaxis.set_major_locator(MaxNLocator(integer=True))
    seedlings.legend(loc="upper left", fontsize="small")
    for axes in (bank, seedlings):
        axes.grid(True, alpha=0.3)
        axes.ticklabel_format(axis="y", style="sci", scilimits=(-3, 5))
    figure.tight_layout()
    figure.savefig(output, dpi=100)


main(snakemake.input[0], snakemake.output[0], snakemake.wildcards.scenario)
