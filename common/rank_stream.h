// The ranks of one stream of ibeta(1, 1) deviates, in order, made ahead by
// several threads.
//
// The stream is cut into segments of stored_state_spacing deviates.  Each
// producer thread takes the next segment, starts from the generator state at
// its beginning and writes its ranks into one of a few segment buffers, in
// pieces the consumer may read as soon as they are done.  The state at the
// beginning of a segment comes from the stored states of the default stream
// where they reach, and otherwise from one walker thread that runs the bare
// chain ahead and leaves a state at every segment boundary.  Memory stays
// bounded: producers wait for a free buffer, the walker stays at most a few
// segments ahead of the consumer.
//
// With one thread no thread is started: next() makes its ranks itself.
// Either way the k-th rank is the rank of the k-th deviate of the stream.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "deviate_engine.h"

namespace seedbank {

class rank_stream {
public:
    // The stream of `seed_word`; `stored` are the states of that stream at
    // every `spacing` deviates, from its start (may be empty, or cover any
    // prefix of it).  `threads` >= 1 producers.
    rank_stream(threshold_ranks ranks, int32_t seed_word, int threads,
                std::span<const generator_state> stored, uint64_t spacing);
    // The default stream with the stored states of the repository.
    rank_stream(threshold_ranks ranks, int threads);
    ~rank_stream();
    rank_stream(const rank_stream &) = delete;
    rank_stream &operator=(const rank_stream &) = delete;

    const threshold_ranks &ranks() const { return ranks_; }

    // The rank of the next deviate.
    uint8_t next()
    {
        if (cursor_ == end_)
            refill();
        return *cursor_++;
    }

private:
    struct segment_buffer {
        uint64_t segment = 0;     // the segment it is free for, or holds
        uint64_t pieces_done = 0; // pieces of that segment written
        std::vector<uint8_t> ranks;
    };

    void refill();
    void refill_alone();
    void refill_from_buffers();
    void start_threads();
    void stop_threads();
    void produce();
    void walk();
    generator_state state_at(uint64_t segment, std::unique_lock<std::mutex> &lock);
    bool walker_may_reach(uint64_t segment) const;

    threshold_ranks ranks_;
    const int threads_;
    const std::span<const generator_state> stored_;
    const int32_t seed_word_;
    const uint64_t spacing_;
    const uint64_t piece_;
    const uint64_t pieces_per_segment_;

    const uint8_t *cursor_ = nullptr;
    const uint8_t *end_ = nullptr;

    // One thread: the stream's own state and one piece of ranks.
    generator_state alone_state_;
    std::vector<uint8_t> alone_ranks_;

    // Several threads.  Everything below is guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable consumer_wakes_;
    std::condition_variable workers_wake_;
    bool stopping_ = false;
    bool started_ = false;
    std::vector<segment_buffer> buffers_;
    uint64_t next_segment_to_claim_ = 0;
    uint64_t consumer_segment_ = 0;  // the segment next() reads
    uint64_t consumer_piece_ = 0;    // its next piece not yet handed out
    // The states the walker left and no producer has taken yet, by segment.
    std::map<uint64_t, generator_state> walked_;
    std::vector<std::thread> workers_;
};

}  // namespace seedbank
