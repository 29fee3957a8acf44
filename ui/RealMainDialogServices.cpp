#include "ui/MainDialogServices.h"

#include "inspect/AgentDatabase.h"
#include "inspect/VersionDiscovery.h"
#include "net/AgentStateQuery.h"

MainDialogServices RealMainDialogServices() {
    return MainDialogServices{&::GetUserDefaultUILanguage, &GetAgentUUID,         &::GetComputerNameW,
                              &GetMacAddresses,            &GetProductVersion,    &CheckQEVStatusImmediate,
                              DefaultRepairWorkflows()};
}
