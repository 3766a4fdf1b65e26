"""Every scenario in one picture: the seed bank at the start of each year and
the new seedlings, as the mean over each scenario's replicates, on a
logarithmic scale so that growing and dwindling runs both show."""
import csv
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after choosing the backend)
from matplotlib.ticker import MaxNLocator  # noqa: E402


def means_per_year(path, column):
    per_year = defaultdict(list)
    with open(path, newline="") as stream:
        for row in csv.DictReader(stream):
            per_year[int(row["year"])].append(int(row[column]))
    years = sorted(per_year)
    return years, [sum(per_year[y]) / len(per_year[y]) for y in years]


def main(tables, scenarios, output):
    figure, (bank, seedlings) = plt.subplots(2, 1, figsize=(8, 8), sharex=True)
    for table, scenario in zip(tables, scenarios):
        for axes, column in ((bank, "seed_bank"), (seedlings, "seedlings")):
            years, means = means_per_year(table, column)
            axes.plot(years, means, linewidth=2, label=scenario)
    bank.set_ylabel("seeds in the bank at the start of the year")
    bank.set_title("scenarios compared (mean over replicates)")
    seedlings.set_ylabel("new seedlings")
    seedlings.set_xlabel("year")
    seedlings.xaxis.set_major_locator(MaxNLocator(integer=True))
    for axes in (bank, seedlings):
        axes.set_yscale("symlog", linthresh=1)
        axes.grid(True, alpha=0.3)
        axes.legend(loc="lower left", fontsize="small")
    figure.tight_layout()
    figure.savefig(output, dpi=100)


main(list(snakemake.input), snakemake.params.scenarios, snakemake.output[0])
