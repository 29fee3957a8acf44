// Placeholder bodies until the workflows land; they only report failure.
#include "repair/ProgressMessages.h"
#include "repair/ReinstallWorkflow.h"
#include "repair/ServiceRepairWorkflow.h"

DWORD RunReinstallWorkflow(RepairJob& job) {
    job.Send(UM_DOWNLOAD_BEGIN);
    job.Send(UM_REINSTALL_FAIL);
    return 0;
}

DWORD RunServiceRepairWorkflow(RepairJob& job) {
    job.Send(UM_REPAIR_BEGIN);
    job.Send(UM_REPAIR_FAIL);
    return 0;
}

void LogAndShowMessage(const std::wstring&) {}
