#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cli {

// Options every subcommand sees, parsed before the subcommand's name.
struct GlobalOptions {
    std::string simulate; // empty: no simulated device; else "both", "cable", "receiver", "socket"
    std::string simState; // file the emulated device's memory is kept in
    bool trace = false;   // print the command channel's trace lines
    std::string device = "keyboard"; // the device the commands act on: "keyboard", "mouse"
};

struct Command {
    std::string name;
    std::string summary; // one line for the top-level help
    std::string usage;   // the subcommand's own --help text
    // Runs with the arguments after the subcommand's name; returns the exit status.
    std::function<int(const GlobalOptions&, const std::vector<std::string>&)> run;
};

// Subcommands register themselves from their own files, so adding one touches nothing else.
bool registerCommand(Command command);
const std::map<std::string, Command>& commands();

} // namespace cli
