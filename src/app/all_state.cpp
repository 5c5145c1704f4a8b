#include "app/all_state.h"

#include "acquisition/acquisition_state.h"
#include "analysis/analysis_state.h"
#include "devices/camera_models.h"
#include "devices/camera_protocol.h"
#include "devices/serial_link.h"
#include "devices/transport.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "guiding/guiding_state.h"
#include "platform/sio.h"
#include "processing/calibration.h"
#include "processing/filter_state.h"
#include "processing/processing_state.h"
#include "processing/stacking.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "telescope/ao_state.h"
#include "telescope/telescope_state.h"

void reset_all_state() {
    // Lowest layer first: a higher one may install hooks into a lower one.
    platform::reset_sio_state();
    bind_buffers();
    reset_display_state();
    reset_sensor_state();
    reset_settings();
    reset_file_state();
    reset_fits_state();
    reset_guide_state();
    reset_processing_state();
    reset_filter_state();
    reset_calibration_state();
    reset_stack_state();
    reset_camera_model_state();
    reset_serial_link_state();
    reset_transport_state();
    reset_protocol_state();
    reset_acquisition_state();
    reset_telescope_state();
    reset_ao_state();
    reset_guiding_state();
    reset_analysis_state();
}
