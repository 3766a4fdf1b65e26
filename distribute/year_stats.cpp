#include "year_stats.h"

namespace seedbank::distribute {

namespace {

void write_row(FILE *stream, const std::string &common, const std::string &cohort, const std::string &probabilities,
               const cohort_tally &tally, long long seedlings)
{
    std::fprintf(stream, "%s,%s,%s,%lld,%lld,%lld,%lld,%lld,%lld\n", common.c_str(), cohort.c_str(),
                 probabilities.c_str(), tally.seeds_read, tally.lost_to_predation, tally.germinated, tally.dormant,
                 tally.carried_over, seedlings);
}

std::string probability_pair(const cohort_probabilities &values)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9g,%.9g", static_cast<double>(values.d_prob),
                  static_cast<double>(values.pred));
    return text;
}

}  // namespace

std::string csv_field(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void write_year_stats(FILE *stream, const year_record &record)
{
    std::fputs("input_label,output_label,seed,schedule,cohort,d_prob,pred,seeds_read,lost_to_predation,"
               "germinated,dormant,carried_over,seedlings_kept\n",
               stream);
    const std::string common = csv_field(record.input_label) + "," + csv_field(record.output_label) + "," +
                               std::to_string(record.seed) + "," + csv_field(record.schedule);
    cohort_tally sum;
    for (std::size_t k = 0; k < record.cohorts.size(); ++k) {
        const cohort_tally &tally = record.cohorts[k];
        write_row(stream, common, cohort_names[k], probability_pair(record.probabilities[k]), tally,
                  tally.seedlings_kept);
        sum.seeds_read += tally.seeds_read;
        sum.lost_to_predation += tally.lost_to_predation;
        sum.germinated += tally.germinated;
        sum.dormant += tally.dormant;
        sum.carried_over += tally.carried_over;
    }
    write_row(stream, common, "all", ",", sum, record.seedlings_listed);
}

}  // namespace seedbank::distribute
