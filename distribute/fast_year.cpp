// The fast year: ranked deviates, maps decoded one ahead, dormant maps
// compressed while the year goes on, messages in their plain order.
#include "fast_year.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include <gd.h>

#include "owners.h"
#include "seed_map.h"
#include "stream_states.h"

namespace seedbank::distribute {

namespace {

// Standard output in the plain run's order.  While a map is being written
// in the background, text is held; it is printed once that map is written
// and closed, which is when the plain run would have gone on to print it,
// and dropped when the writing failed, since the plain run stops there.
class ordered_progress {
public:
    void say(const std::string &text)
    {
        if (holding_)
            held_ += text;
        else
            std::fputs(text.c_str(), stdout);
    }
    void hold() { holding_ = true; }
    void release()
    {
        std::fputs(held_.c_str(), stdout);
        drop();
    }
    void drop()
    {
        held_.clear();
        holding_ = false;
    }

private:
    bool holding_ = false;
    std::string held_;
};

// The cells of a decoded map, transposed in tiles so both planes are walked
// along their rows of memory.
cell_plane cells_of(gdImagePtr map)
{
    cell_plane cells;
    cells.last_x = std::max(0, std::min(field_side, gdImageSX(map) - 1));
    cells.last_y = std::max(0, std::min(field_side, gdImageSY(map) - 1));
    const auto height = static_cast<std::size_t>(cells.last_y);
    cells.counts.resize(static_cast<std::size_t>(cells.last_x) * height);
    constexpr int tile = 64;
    for (int y0 = 1; y0 <= cells.last_y; y0 += tile)
        for (int x0 = 1; x0 <= cells.last_x; x0 += tile)
            for (int y = y0; y < std::min(y0 + tile, cells.last_y + 1); ++y) {
                const unsigned char *row = map->pixels[y];
                for (int x = x0; x < std::min(x0 + tile, cells.last_x + 1); ++x)
                    cells.counts[static_cast<std::size_t>(x - 1) * height + static_cast<std::size_t>(y - 1)] =
                        row[x];
            }
    return cells;
}

// The cells of the seed map `name`.
outcome<cell_plane> read_cells(const std::string &name)
{
    outcome<gd_image> map = read_seed_map(name);
    if (!map)
        return map.error();
    return cells_of(map.value().get());
}

// Only regular files are read ahead: a pipe or a device is read in its turn,
// as the plain run reads it.
bool may_read_ahead(const std::string &name)
{
    struct stat status;
    return stat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The dormant seeds of a cohort into a new 5000 x 5000 map (cells on row or
// column 5000 have no pixel there), transposed in tiles.
gd_image dormant_map(const cell_plane &dormants)
{
    gd_image owned = create_seed_map(field_side, field_side);
    gdImagePtr map = owned.get();
    const int width = std::min(dormants.last_x, field_side - 1);
    const int height = std::min(dormants.last_y, field_side - 1);
    const auto column = static_cast<std::size_t>(dormants.last_y);
    constexpr int tile = 64;
    for (int x0 = 1; x0 <= width; x0 += tile)
        for (int y0 = 1; y0 <= height; y0 += tile)
            for (int y = y0; y < std::min(y0 + tile, height + 1); ++y) {
                unsigned char *row = map->pixels[y];
                for (int x = x0; x < std::min(x0 + tile, width + 1); ++x)
                    // The map's palette holds grey v at index v.
                    row[x] = dormants.counts[static_cast<std::size_t>(x - 1) * column +
                                             static_cast<std::size_t>(y - 1)];
            }
    return owned;
}

// The map's PNG bytes into `stream`; the map is released.  zlib alone
// decides the bytes, whichever thread runs it.
void compress_map(gd_image map, FILE *stream, int level)
{
    gdImagePngEx(map.get(), stream, level);
}

// One dormant map on its way to disk: open (in the run's order), compressed
// on a thread, closed in its turn.
struct map_in_writing {
    output_file file;
    std::thread compressor;
};

class cohort_runner {
public:
    cohort_runner(unsigned char **new_seeds, const year_settings &settings, std::span<const cohort_run> runs,
                  std::vector<output_file> &outputs)
        : new_seeds_(new_seeds),
          settings_(settings),
          ranks_(year_thresholds(runs)),
          stream_(make_stream(ranks_, settings)),
          outputs_(outputs)
    {
    }

    ~cohort_runner()
    {
        if (writing_ && writing_->compressor.joinable())
            writing_->compressor.join();
        if (reading_.valid())
            reading_.wait();
    }

    outcome<std::vector<cohort_tally>> run(std::span<const cohort_run> runs)
    {
        std::vector<cohort_tally> tallies;
        progress_.say("Distributing:\n");
        for (std::size_t k = 0; k < runs.size(); ++k) {
            progress_.say(runs[k].header);
            outcome<cohort_tally> ran = run_cohort(runs[k], k + 1 < runs.size() ? runs[k + 1].file_in : "");
            if (!ran)
                return ran.error();
            tallies.push_back(ran.value());
        }
        progress_.say("Done.\n\n");
        if (status settled = settle(); !settled)
            return settled.error();
        return tallies;
    }

private:
    static std::unique_ptr<rank_stream> make_stream(const threshold_ranks &ranks, const year_settings &settings)
    {
        if (settings.seed_word == default_seed_word)
            return std::make_unique<rank_stream>(ranks, settings.threads);
        return std::make_unique<rank_stream>(ranks, settings.seed_word, settings.threads,
                                             std::span<const generator_state>{}, stored_state_spacing);
    }

    bool parallel() const { return settings_.threads > 1; }

    // The cells of `name`, read ahead or now.  A failure is reported after
    // the map being written is settled: the plain run would have met that
    // map's failure first.
    outcome<cell_plane> cells_for(const std::string &name)
    {
        outcome<cell_plane> cells = reading_.valid() && reading_name_ == name ? reading_.get() : read_cells(name);
        if (!cells) {
            if (status settled = settle(); !settled)
                return settled.error();
        }
        return cells;
    }

    void read_ahead(const std::string &name)
    {
        if (!parallel() || name.empty() || !may_read_ahead(name))
            return;
        reading_name_ = name;
        reading_ = std::async(std::launch::async, read_cells, name);
    }

    outcome<cohort_tally> run_cohort(const cohort_run &run, const std::string &next_input)
    {
        outcome<cell_plane> read = cells_for(run.file_in);
        if (!read)
            return read.error();
        cell_plane &cells = read.value();
        read_ahead(next_input);
        const cohort_tally tally =
            walk_cohort(new_seeds_, cells, *stream_, ranks_.index_of(1.0 - static_cast<double>(run.pred)),
                        ranks_.index_of(static_cast<double>(run.d_prob)), !run.file_out.empty());
        char line[64];
        std::snprintf(line, sizeof line, "\t\t%lld Seeds recruited from ", tally.germinated);
        progress_.say(line + run.file_in + ".\n\n");
        if (!run.file_out.empty())
            if (status written = write_map(run.file_out, std::move(cells)); !written)
                return written.error();
        return tally;
    }

    // The plain run opens the map after the cohort's line and writes it
    // before the next cohort begins: the earlier map is settled first, then
    // this one opened, and what follows is held until it is settled.  The
    // plane is turned into the map here and freed before the next cohort's
    // map is read, so that at most one dormant map is held besides the
    // planes of the walk and of the read ahead.
    status write_map(const std::string &name, cell_plane dormants)
    {
        if (status settled = settle(); !settled)
            return settled;
        gd_image map = dormant_map(dormants);
        dormants = {};
        outcome<output_file> opened = open_output(name);
        if (!opened)
            return opened.error();
        writing_ = std::make_unique<map_in_writing>();
        writing_->file = std::move(opened.value());
        map_in_writing &writing = *writing_;
        const int level = settings_.png_level;
        if (!parallel()) {
            compress_map(std::move(map), writing.file.stream(), level);
            return settle();
        }
        writing.compressor = std::thread(compress_map, std::move(map), writing.file.stream(), level);
        progress_.hold();
        return {};
    }

    // Waits for the map being written and closes it here, on the run's own
    // thread, where the plain run syncs and closes its files.  Written and
    // closed: it joins the outputs and the held text is printed.  Failed:
    // the held text is dropped and the failure returned.
    status settle()
    {
        if (!writing_) {
            progress_.release();
            return {};
        }
        if (writing_->compressor.joinable())
            writing_->compressor.join();
        const status written = close_output(writing_->file);
        if (written)
            outputs_.push_back(std::move(writing_->file));
        writing_.reset();
        if (!written) {
            progress_.drop();
            return written;
        }
        progress_.release();
        return {};
    }

    unsigned char **new_seeds_;
    const year_settings settings_;
    const threshold_ranks ranks_;
    std::unique_ptr<rank_stream> stream_;
    std::vector<output_file> &outputs_;
    ordered_progress progress_;
    std::future<outcome<cell_plane>> reading_;
    std::string reading_name_;
    std::unique_ptr<map_in_writing> writing_;
};

}  // namespace

int available_cores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return std::max(1, CPU_COUNT(&set));
}

std::vector<cohort_run> built_in_year(const std::string &input_label, const std::string &output_label)
{
    std::vector<cohort_run> runs;
    for (const cohort_step &step : cohort_schedule)
        runs.push_back({step.header, seed_map_name(step.input_prefix, input_label),
                        step.output_prefix != nullptr ? seed_map_name(step.output_prefix, output_label) : "",
                        step.d_prob, step.pred});
    return runs;
}

std::vector<double> year_thresholds(std::span<const cohort_run> runs)
{
    std::vector<double> thresholds;
    for (const cohort_run &run : runs) {
        thresholds.push_back(1.0 - static_cast<double>(run.pred));
        thresholds.push_back(static_cast<double>(run.d_prob));
    }
    return thresholds;
}

cohort_tally walk_cohort(unsigned char **new_seed, cell_plane &cells, rank_stream &stream, uint8_t survive_index,
                         uint8_t dormant_index, bool writes_map)
{
    cohort_tally tally;
    // Cells on row or column 5000 have no pixel in the 5000 x 5000 map
    // written: their dormant seeds are not carried over.
    const int last_written = field_side - 1;
    const auto height = static_cast<std::size_t>(cells.last_y);
    // x outer, y inner, as the plain walk: the order of the draws is part
    // of the results.
    for (int x = 1; x <= cells.last_x; ++x) {
        uint8_t *column = cells.counts.data() + static_cast<std::size_t>(x - 1) * height;
        unsigned char *grid_column = new_seed[x];
        for (std::size_t i = 0; i < height; ++i) {
            const int count = column[i];
            if (count == 0)
                continue;
            // All predation draws of the cell first, then one dormancy draw
            // per survivor.
            int total = 0;
            for (int seed = 0; seed < count; ++seed)
                total += stream.next() <= survive_index ? 1 : 0;
            int dormant = 0;
            for (int seed = 0; seed < total; ++seed)
                dormant += stream.next() <= dormant_index ? 1 : 0;
            const int germ = total - dormant;
            unsigned char &cell = grid_column[i + 1];
            const int kept = std::min(cell + germ, 255) - cell;
            cell = static_cast<unsigned char>(cell + kept);
            column[i] = static_cast<uint8_t>(dormant);
            tally.seeds_read += count;
            tally.lost_to_predation += count - total;
            tally.germinated += germ;
            tally.dormant += dormant;
            tally.seedlings_kept += kept;
            if (writes_map && x <= last_written && static_cast<int>(i) + 1 <= last_written)
                tally.carried_over += dormant;
        }
    }
    return tally;
}

outcome<std::vector<cohort_tally>> distribute_cohorts_fast(unsigned char **new_seeds,
                                                           std::span<const cohort_run> runs,
                                                           const year_settings &settings,
                                                           std::vector<output_file> &outputs)
{
    cohort_runner runner(new_seeds, settings, runs, outputs);
    return runner.run(runs);
}

}  // namespace seedbank::distribute
