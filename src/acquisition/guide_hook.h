#pragma once

// The sequence's guide correction after each image. Guiding sits above the
// acquisition folder, so the program installs it here at start-up; until
// then the sequence takes its images unguided.
class SequenceGuiding {
  public:
    virtual ~SequenceGuiding() = default;
    // One correction on the image just shown (a full frame).
    virtual void correct(const unsigned short* image) = 0;

    // Guider-camera guiding through a host-timed exposure: started when the
    // run's first such exposure begins (false: it could not start), one
    // cycle after each pump of the wait (false: the guide star is lost),
    // stopped when the run ends.
    virtual bool guider_start() { return true; }
    virtual bool guider_cycle() { return true; }
    virtual void guider_stop() {}
};

// `g` stays the program's; null takes it out again.
void install_sequence_guiding(SequenceGuiding* g);
SequenceGuiding* sequence_guiding();

// Whether the image just shown gets a correction: self-guiding is on and no
// training runs.
bool sequence_guiding_due();
