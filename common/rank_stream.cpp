// Ranks made ahead in segment buffers by producer threads, read in order.
#include "rank_stream.h"

#include <algorithm>
#include <stdexcept>

#include "stream_states.h"

namespace seedbank {

namespace {

// The consumer may read a segment's ranks in pieces of this many.
constexpr uint64_t largest_piece = uint64_t{1} << 16;

}  // namespace

rank_stream::rank_stream(threshold_ranks ranks, int32_t seed_word, int threads,
                         std::span<const generator_state> stored, uint64_t spacing)
    : ranks_(std::move(ranks)),
      threads_(std::max(threads, 1)),
      stored_(stored),
      seed_word_(seed_word),
      spacing_(spacing),
      piece_(std::min(spacing, largest_piece)),
      pieces_per_segment_(spacing / piece_)
{
    if (spacing == 0 || spacing % piece_ != 0)
        throw std::invalid_argument("the spacing must be a multiple of the piece");
    if (threads_ == 1) {
        alone_state_ = seeded_state(seed_word_);
        alone_ranks_.resize(piece_);
    }
}

rank_stream::rank_stream(threshold_ranks ranks, int threads)
    : rank_stream(std::move(ranks), default_seed_word, threads, stored_states(),
                  stored_state_spacing)
{
}

rank_stream::~rank_stream()
{
    stop_threads();
}

void rank_stream::refill()
{
    if (threads_ == 1)
        refill_alone();
    else
        refill_from_buffers();
}

void rank_stream::refill_alone()
{
    make_ranks(alone_state_, ranks_, alone_ranks_.data(), alone_ranks_.size());
    cursor_ = alone_ranks_.data();
    end_ = cursor_ + alone_ranks_.size();
}

void rank_stream::start_threads()
{
    // One buffer more than producers, so that every producer can work while
    // the consumer reads.
    buffers_.resize(static_cast<std::size_t>(threads_) + 1);
    for (std::size_t i = 0; i < buffers_.size(); ++i) {
        buffers_[i].segment = i;
        buffers_[i].ranks.resize(spacing_);
    }
    started_ = true;
    workers_.emplace_back([this] { walk(); });
    for (int i = 0; i < threads_; ++i)
        workers_.emplace_back([this] { produce(); });
}

void rank_stream::stop_threads()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    workers_wake_.notify_all();
    for (std::thread &worker : workers_)
        worker.join();
    workers_.clear();
}

void rank_stream::refill_from_buffers()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_)
        start_threads();
    const std::size_t count = buffers_.size();
    if (consumer_piece_ == pieces_per_segment_) {
        // The segment is read: its buffer goes to the segment `count` on.
        segment_buffer &done = buffers_[consumer_segment_ % count];
        done.segment = consumer_segment_ + count;
        done.pieces_done = 0;
        ++consumer_segment_;
        consumer_piece_ = 0;
        workers_wake_.notify_all();
    }
    segment_buffer &buffer = buffers_[consumer_segment_ % count];
    consumer_wakes_.wait(lock, [&] {
        return buffer.segment == consumer_segment_ && buffer.pieces_done > consumer_piece_;
    });
    cursor_ = buffer.ranks.data() + consumer_piece_ * piece_;
    end_ = buffer.ranks.data() + buffer.pieces_done * piece_;
    consumer_piece_ = buffer.pieces_done;
}

bool rank_stream::walker_may_reach(uint64_t segment) const
{
    // No producer can claim a segment whose buffer is not yet free.
    return segment <= consumer_segment_ + buffers_.size();
}

generator_state rank_stream::state_at(uint64_t segment, std::unique_lock<std::mutex> &lock)
{
    if (segment < stored_.size())
        return stored_[segment];
    workers_wake_.wait(lock, [&] { return stopping_ || walked_.count(segment) != 0; });
    if (stopping_)
        return {};
    const auto found = walked_.find(segment);
    const generator_state state = found->second;
    walked_.erase(found);
    return state;
}

void rank_stream::walk()
{
    // From the last stored state, or from the seed word, along the bare
    // chain, leaving the state at every segment boundary beyond the stored
    // ones.
    uint64_t segment = stored_.empty() ? 0 : stored_.size() - 1;
    generator_state state = stored_.empty() ? seeded_state(seed_word_) : stored_.back();
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        if (segment >= stored_.size()) {
            walked_.emplace(segment, state);
            workers_wake_.notify_all();
        }
        workers_wake_.wait(lock, [&] { return stopping_ || walker_may_reach(segment + 1); });
        if (stopping_)
            return;
        lock.unlock();
        skip_deviates(state, spacing_);
        lock.lock();
        ++segment;
    }
}

void rank_stream::produce()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        const uint64_t segment = next_segment_to_claim_++;
        segment_buffer &buffer = buffers_[segment % buffers_.size()];
        workers_wake_.wait(lock, [&] { return stopping_ || buffer.segment == segment; });
        if (stopping_)
            return;
        generator_state state = state_at(segment, lock);
        for (uint64_t piece = 0; piece < pieces_per_segment_ && !stopping_; ++piece) {
            uint8_t *out = buffer.ranks.data() + piece * piece_;
            lock.unlock();
            make_ranks(state, ranks_, out, piece_);
            lock.lock();
            buffer.pieces_done = piece + 1;
            consumer_wakes_.notify_one();
        }
    }
}

}  // namespace seedbank
