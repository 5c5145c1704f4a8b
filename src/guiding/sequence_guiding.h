#pragma once

// Self-guiding: the exposure sequence corrects the mount once after each
// image, on the picked star, through the main-camera correction.

// One correction on a full frame. The first of a camera start fixes the
// reference at the picked star; every image is then measured against it.
// Does nothing without a picked star or a drive.
void self_guide_correction(const unsigned short* image);

// Installs guiding's hooks into the lower layers (the sequence's
// correction). Called once at start-up by the program and the CLI.
void install_guiding_hooks();

class GuideHost;
// The host that shows the guider camera's guiding through the main
// exposures (the program's "Guiding Info" window, the CLI's lines); null
// shows nothing.
void install_guider_hooks(GuideHost* host);
