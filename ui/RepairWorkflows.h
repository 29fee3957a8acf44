#pragma once
// The two workflows a progress dialog can run on its worker thread.
#include "repair/ReinstallWorkflow.h"
#include "repair/RepairJob.h"
#include "repair/ServiceRepairWorkflow.h"

struct RepairWorkflows {
    RepairWorkflow reinstall;
    RepairWorkflow serviceRepair;
};

inline RepairWorkflows DefaultRepairWorkflows() {
    return RepairWorkflows{&RunReinstallWorkflow, &RunServiceRepairWorkflow};
}
