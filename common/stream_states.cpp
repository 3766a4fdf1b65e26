// The stored states, generated into stream_states.inc.
#include "stream_states.h"

namespace seedbank {

namespace {

const generator_state states[] = {
#include "stream_states.inc"
};

}  // namespace

std::span<const generator_state> stored_states()
{
    return states;
}

}  // namespace seedbank
