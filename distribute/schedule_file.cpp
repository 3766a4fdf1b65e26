#include "schedule_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "cohort_schedule.h"

namespace seedbank::distribute {

namespace {

// A schedule is a few hundred bytes; anything far larger is not one, and
// reading stops there instead of swallowing a device or a huge file.
constexpr std::size_t largest_schedule_file = 64 * 1024;

enum class column { cohort, d_prob, pred };

struct header_layout {
    std::vector<column> columns;
    bool keyed = false;  // has a cohort column
};

struct line_view {
    int number;
    std::string_view text;
};

std::vector<std::string_view> split_fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::string_view::size_type start = 0;
    while (true) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// The lines that carry content, numbered from 1 as in the file.
std::vector<line_view> content_lines(std::string_view text)
{
    std::vector<line_view> lines;
    int number = 0;
    std::string_view::size_type start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line.front() != '#')
            lines.push_back({number, line});
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::string located(const std::string &file_name, int line, const std::string &reason)
{
    return file_name + ":" + std::to_string(line) + ": " + reason;
}

std::optional<header_layout> parse_header(const line_view &line, const std::string &file_name, std::string &reason)
{
    header_layout layout;
    bool seen[3] = {false, false, false};
    for (std::string_view field : split_fields(line.text)) {
        column kind;
        if (field == "cohort")
            kind = column::cohort;
        else if (field == "d_prob")
            kind = column::d_prob;
        else if (field == "pred")
            kind = column::pred;
        else {
            reason = located(file_name, line.number,
                             "unknown column '" + std::string(field) + "' (the columns are cohort, d_prob, pred)");
            return std::nullopt;
        }
        const auto index = static_cast<std::size_t>(kind);
        if (seen[index]) {
            reason = located(file_name, line.number, "column '" + std::string(field) + "' appears twice");
            return std::nullopt;
        }
        seen[index] = true;
        layout.columns.push_back(kind);
    }
    for (column required : {column::d_prob, column::pred}) {
        if (!seen[static_cast<std::size_t>(required)]) {
            reason = located(file_name, line.number,
                             std::string("the header has no column '") +
                                 (required == column::d_prob ? "d_prob" : "pred") + "'");
            return std::nullopt;
        }
    }
    layout.keyed = seen[0];
    return layout;
}

// A probability as the C float literal of the same text: strtof, the whole
// field, no blanks, a number in [0, 1].
std::optional<float> parse_probability(std::string_view field, std::string &problem)
{
    const std::string text(field);
    if (text.empty()) {
        problem = "an empty value";
        return std::nullopt;
    }
    char *end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (std::isspace(static_cast<unsigned char>(text.front())) || end != text.c_str() + text.size() ||
        end == text.c_str()) {
        problem = "'" + text + "' is not a number";
        return std::nullopt;
    }
    if (std::isnan(value)) {
        problem = "'" + text + "' is not a number (NaN)";
        return std::nullopt;
    }
    if (!(value >= 0.0f && value <= 1.0f)) {
        problem = "'" + text + "' lies outside [0, 1]";
        return std::nullopt;
    }
    return value;
}

std::optional<int> cohort_index(std::string_view name)
{
    for (std::size_t k = 0; k < cohort_names.size(); ++k)
        if (name == cohort_names[k])
            return static_cast<int>(k);
    return std::nullopt;
}

// One row: fills the cohort it names (or the next in order) in `table`.
bool parse_row(const line_view &line, const header_layout &layout, int row, cohort_probability_table &table,
               std::array<bool, 6> &filled, const std::string &file_name, std::string &reason)
{
    const std::vector<std::string_view> fields = split_fields(line.text);
    if (fields.size() != layout.columns.size()) {
        reason = located(file_name, line.number,
                         std::to_string(fields.size()) + " fields where the header has " +
                             std::to_string(layout.columns.size()));
        return false;
    }
    int cohort = row;
    cohort_probabilities values{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (layout.columns[i] == column::cohort) {
            const std::optional<int> index = cohort_index(fields[i]);
            if (!index) {
                reason = located(file_name, line.number,
                                 "unknown cohort '" + std::string(fields[i]) +
                                     "' (the cohorts are dorm5, dorm4, dorm3, dorm2, dorm1, fresh)");
                return false;
            }
            cohort = *index;
            continue;
        }
        std::string problem;
        const std::optional<float> value = parse_probability(fields[i], problem);
        if (!value) {
            const char *name = layout.columns[i] == column::d_prob ? "d_prob" : "pred";
            reason = located(file_name, line.number, std::string(name) + ": " + problem);
            return false;
        }
        (layout.columns[i] == column::d_prob ? values.d_prob : values.pred) = *value;
    }
    const auto slot = static_cast<std::size_t>(cohort);
    if (filled[slot]) {
        reason = located(file_name, line.number, std::string("cohort '") + cohort_names[slot] + "' appears twice");
        return false;
    }
    filled[slot] = true;
    table[slot] = values;
    return true;
}

}  // namespace

cohort_probability_table built_in_probabilities()
{
    cohort_probability_table table{};
    for (std::size_t k = 0; k < table.size(); ++k)
        table[k] = {cohort_schedule[k].d_prob, cohort_schedule[k].pred};
    return table;
}

std::optional<cohort_probability_table> parse_schedule(std::string_view text, const std::string &file_name,
                                                       std::string &reason)
{
    const std::vector<line_view> lines = content_lines(text);
    if (lines.empty()) {
        reason = file_name + ": no header line (cohort, d_prob, pred)";
        return std::nullopt;
    }
    const std::optional<header_layout> layout = parse_header(lines.front(), file_name, reason);
    if (!layout)
        return std::nullopt;

    cohort_probability_table table{};
    std::array<bool, 6> filled{};
    const int rows = static_cast<int>(lines.size()) - 1;
    for (int row = 0; row < rows; ++row) {
        const line_view &line = lines[static_cast<std::size_t>(row) + 1];
        if (row >= 6) {
            reason = located(file_name, line.number, "more than six cohort rows");
            return std::nullopt;
        }
        if (!parse_row(line, *layout, row, table, filled, file_name, reason))
            return std::nullopt;
    }
    if (rows < 6) {
        const int last_line = static_cast<int>(std::count(text.begin(), text.end(), '\n')) +
                              (text.empty() || text.back() == '\n' ? 0 : 1);
        reason = located(file_name, last_line,
                         "the file ends after " + std::to_string(rows) + " cohort rows; six are needed");
        return std::nullopt;
    }
    return table;
}

std::optional<cohort_probability_table> read_schedule_file(const std::string &path, std::string &reason)
{
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        reason = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string text(largest_schedule_file + 1, '\0');
    const std::size_t size = std::fread(text.data(), 1, text.size(), file.get());
    if (std::ferror(file.get())) {
        reason = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (size > largest_schedule_file) {
        reason = path + ": larger than " + std::to_string(largest_schedule_file) + " bytes, not a schedule";
        return std::nullopt;
    }
    text.resize(size);
    return parse_schedule(text, path, reason);
}

}  // namespace seedbank::distribute
