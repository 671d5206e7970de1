#include "command_registry.h"

namespace cli {
namespace {

std::map<std::string, Command>& registry()
{
    static std::map<std::string, Command> instance;
    return instance;
}

} // namespace

bool registerCommand(Command command)
{
    auto name = command.name;
    return registry().emplace(std::move(name), std::move(command)).second;
}

const std::map<std::string, Command>& commands()
{
    return registry();
}

} // namespace cli
