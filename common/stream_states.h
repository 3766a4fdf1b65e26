// Stored states of ibeta's default stream.
//
// winter's stream always starts from the seed word -911, so the generator's
// state after any given number of deviates is a constant.  These are the
// states at every stored_state_spacing deviates, made by
// tools/make_stream_table from the generator itself; with them, distant
// parts of the stream can be made at once by several threads.
#pragma once
#include <cstdint>
#include <span>

#include "deviate_engine.h"

namespace seedbank {

// Deviates (two draws each) between consecutive stored states.
constexpr uint64_t stored_state_spacing = uint64_t{1} << 22;

// State i is the default stream (seed word -911) after i * spacing
// deviates; state 0 is the freshly filled table.
std::span<const generator_state> stored_states();

}  // namespace seedbank
