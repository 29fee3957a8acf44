#pragma once
#include "repair/RepairJob.h"

// Brings the agent's five services into a running state, then asks the server.
// Ends with UM_REPAIR_OK or UM_REPAIR_FAIL.
DWORD RunServiceRepairWorkflow(RepairJob& job);
