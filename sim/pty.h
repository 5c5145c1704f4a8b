#pragma once
#include <string>

// A pseudo-terminal standing in for a PC serial port: the simulator keeps the
// master, the program opens the slave through the link "com<n>".
namespace sim {

class Pty {
  public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens a master (non-blocking) and sets the line raw, so nothing is
    // echoed or translated before the program sets it up itself.
    bool open(std::string* error);
    void close();
    int master() const { return master_; }
    const std::string& slave_name() const { return slave_name_; }

  private:
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up
    std::string slave_name_;
};

// Points the symbolic link at target, replacing an older link (never a file).
bool make_link(const std::string& link, const std::string& target, std::string* error);
// Removes the link if it still points at target.
void remove_link(const std::string& link, const std::string& target);

} // namespace sim
