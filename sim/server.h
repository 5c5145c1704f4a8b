#pragma once
#include "sim/pty.h"
#include "sim/simulator.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The simulator for other processes: Unix stream sockets in the working
// folder's "usb" folder carry exactly the bytes of the USB pipes (command
// blocks in; replies and pixel data out), one for the camera named
// "vid_f0ca&pid_<pid>#<serial>" and one for the filter wheel named
// "vid_f0ca&pid_0700#<serial>" (3-byte reports each way); a pseudo-terminal
// linked as "com<n>" in the working folder is the PC's serial port.
namespace sim {

struct ServerOptions {
    std::string usb_folder; // empty: host_path("c:\autosave\usb")
    std::string com_folder; // empty: the working folder
    std::string serial = "sim0";
    int com_port = 3; // the link com<n>; 0: no pseudo-terminal
};

class Server {
  public:
    Server(Simulator& sim, ServerOptions opt);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Creates the folders, sockets, pseudo-terminal and link.
    bool start(std::string* error);
    // Serves until should_stop() says so (checked at least every 200 ms).
    void run(const std::function<bool()>& should_stop);
    // One round: waits at most max_wait_ms for something to do, does it.
    void poll_once(int max_wait_ms);
    // Closes everything and removes the sockets and the link.
    void stop();

    const std::string& camera_socket() const { return camera_path_; }
    const std::string& wheel_socket() const { return wheel_path_; }
    const std::string& com_link() const { return com_link_; }
    std::string pty_name() const { return pty_.slave_name(); }

    std::function<void(const std::string&)> log;

  private:
    struct Client {
        int fd = -1;
        std::vector<std::uint8_t> out; // the filter wheel's replies not yet sent
        std::size_t sent = 0;
        bool backlog = false; // the camera has bytes ready that the socket did not take
    };
    bool listen_on(const std::string& path, int* fd, std::string* error);
    void accept_client(int listen_fd, Client& c, const char* what);
    void drop(Client& c, const char* what);
    bool flush(Client& c);
    void note(const std::string& s) {
        if (log) log(s);
    }

    Simulator& sim_;
    ServerOptions opt_;
    std::string camera_path_, wheel_path_, com_link_;
    int camera_listen_ = -1, wheel_listen_ = -1;
    Client camera_, wheel_;
    Pty pty_;
    bool started_ = false;
};

} // namespace sim
