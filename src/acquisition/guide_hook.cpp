#include "acquisition/guide_hook.h"

#include "star/star_state.h"

namespace {
SequenceGuiding* installed = nullptr;
} // namespace

void install_sequence_guiding(SequenceGuiding* g) {
    installed = g;
}

SequenceGuiding* sequence_guiding() {
    return installed;
}

bool sequence_guiding_due() {
    return guide.selfguiding && !guide.training;
}
