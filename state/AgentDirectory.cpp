#include "AgentDirectory.h"

namespace {

AgentDirectory::Factory& installed()
{
    static AgentDirectory::Factory factory;
    return factory;
}

} // namespace

namespace AgentDirectory {

void install(Factory factory)
{
    installed() = std::move(factory);
}

Connection create()
{
    if (!installed())
        throw Error{CannotCreate, QStringLiteral("no agent directory")};
    return installed()();
}

} // namespace AgentDirectory
