#pragma once

// Puts every subsystem back to its start-up state: the buffers bound, every
// state struct at its defaults, open devices and ports let go. The program
// calls it once at start; every test fixture calls it before each test.
void reset_all_state();
