// The stored states of the default stream, re-derived from the generator.
#include <gtest/gtest.h>

#include <cstdint>

#include "deviate_engine.h"
#include "stream_states.h"

namespace {

using namespace seedbank;

void expect_follows_predecessor(std::size_t i)
{
    const auto states = stored_states();
    generator_state state = states[i - 1];
    skip_deviates(state, stored_state_spacing);
    EXPECT_EQ(state, states[i]) << "stored state " << i;
}

}  // namespace

// Enough to cover a year in which every cell holds 19 seeds (2.14e9
// deviates), and the first state is the freshly filled table of -911.
TEST(StreamStates, CoverADenseYearFromTheDefaultSeed)
{
    EXPECT_GE(stored_states().size() * stored_state_spacing, uint64_t{2200000000});
    EXPECT_EQ(stored_states()[0], seeded_state(default_seed_word));
}

// A spread of states, the first and the last among them.
TEST(StreamStates, ASampleFollowsFromItsPredecessors)
{
    const std::size_t count = stored_states().size();
    for (const std::size_t i : {std::size_t{1}, count / 3, count / 2, count - 1})
        expect_follows_predecessor(i);
}

// Every state (about a minute: run by tools/slow_checks.sh).
TEST(StreamStates, DISABLED_SlowEveryStateFollowsFromItsPredecessor)
{
    for (std::size_t i = 1; i < stored_states().size(); ++i)
        expect_follows_predecessor(i);
}
