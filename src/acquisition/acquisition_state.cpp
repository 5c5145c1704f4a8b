#include "acquisition/acquisition_state.h"

AcquisitionState acq;

void reset_acquisition_state() {
    acq = AcquisitionState{};
}
