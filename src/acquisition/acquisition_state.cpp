#include "acquisition/acquisition_state.h"

AcquisitionState acq;
SequenceState seq;

void reset_acquisition_state() {
    acq = AcquisitionState{};
    seq = SequenceState{};
}
