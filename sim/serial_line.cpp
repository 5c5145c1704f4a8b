#include "sim/serial_line.h"

#include <cstdio>

namespace sim {

namespace {
constexpr std::size_t MAX_COMMAND = 64; // longer is line noise, not a command
constexpr std::size_t MAX_RECEIVED = 4096;

// Control bytes (the GoTo bar is 0x7F) shown, not sent to the terminal.
std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}
} // namespace

SerialLine::SerialLine(std::string name, Lx200& mount, AoUnit& ao, FilterWheel& wheel,
                       const SerialFaults& faults, Rng& rng, LineDevices devices)
    : name_(std::move(name)), mount_(mount), ao_(ao), wheel_(wheel), faults_(faults), rng_(rng),
      devices_(devices) {}

void SerialLine::reply(const std::string& text) {
    if (text.empty()) return;
    if (faults_.missing > 0 && rng_.uniform() < faults_.missing) {
        note("reply lost (fault)");
        return;
    }
    if (faults_.garbage > 0 && rng_.uniform() < faults_.garbage) {
        const int n = 1 + static_cast<int>(rng_.uniform() * 80);
        for (int i = 0; i < n; ++i) rx_.push_back(static_cast<std::uint8_t>(rng_.next() & 0xFF));
        note("reply garbled (fault)");
    } else {
        rx_.insert(rx_.end(), text.begin(), text.end());
    }
    // Nobody reads a line that overflows; keep the newest bytes.
    if (rx_.size() > MAX_RECEIVED) rx_.erase(rx_.begin(), rx_.end() - MAX_RECEIVED);
}

void SerialLine::lx200(double t) {
    if (on_command) on_command(cmd_);
    std::string what;
    const std::string answer = mount_.command(cmd_, t, &what);
    std::string text = ":" + printable(cmd_) + "#";
    if (!what.empty()) text += "  " + what;
    if (!answer.empty()) text += "  -> \"" + printable(answer) + "\"";
    note(text);
    reply(answer);
}

void SerialLine::feed(const std::uint8_t* data, std::size_t n, double t) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = data[i];
        switch (state_) {
        case State::Lx200:
            if (c == '#') {
                state_ = State::Idle;
                if (devices_.mount) lx200(t);
            } else if (cmd_.size() < MAX_COMMAND) {
                cmd_ += static_cast<char>(c);
            } else {
                state_ = State::Idle;
            }
            continue;
        case State::Ao:
            if (c == '#' || c == ':') {
                state_ = State::Idle; // not an AO command after all
                break;
            }
            cmd_ += static_cast<char>(c);
            if (cmd_.size() == 7) {
                state_ = State::Idle;
                std::string what;
                if (ao_.command(cmd_, t, &what))
                    note(what);
                else
                    note("AO: ignored \"" + cmd_ + "\"");
            }
            continue;
        case State::Box:
            box_[box_n_++] = c;
            if (box_n_ == 4) {
                state_ = State::Idle;
                const int p = FilterWheel::box_position(box_);
                if (p && wheel_.move_to(p, t))
                    note("filter box: position " + std::to_string(p));
                else
                    note("filter box: bad command");
            }
            continue;
        case State::Idle:
            break;
        }
        // Idle: the first byte tells which device is addressed.
        if (c == ':') {
            state_ = State::Lx200;
            cmd_.clear();
        } else if (c == 0x06 && devices_.mount) {
            note("ACK  -> \"P\"");
            reply("P"); // alignment query: polar mounted
        } else if ((c == 'G' || c == 'M') && devices_.ao) {
            state_ = State::Ao;
            cmd_.assign(1, static_cast<char>(c));
        } else if (c == 'K' && devices_.ao) {
            std::string what;
            ao_.command("K", t, &what);
            note(what);
        } else if (c == 0xA5 && devices_.filter_box) {
            state_ = State::Box;
            box_[0] = c;
            box_n_ = 1;
        }
    }
}

} // namespace sim
