#pragma once
// Repair workflows that do nothing of their own: each started worker waits
// for the test to hand it progress codes and sends them to its dialog, so a
// test decides exactly what a progress dialog receives and when.
#include "ui/RepairWorkflows.h"

#include <windows.h>

#include <string>

namespace ScriptedWorker {

// Both workflows scripted; every start is recorded.
RepairWorkflows Workflows();

// Forgets earlier workers (which must have finished).
void Reset();

// Workers started so far; waits up to timeoutMs for the count to reach n.
bool WaitForStarts(int n, DWORD timeoutMs = 10000);
int Starts();

// What worker i (0: the first started) was started as.
bool IsServiceRepair(int i);
std::wstring StartUuid(int i);
// The window worker i's job is attached to now (null once the dialog has
// detached, or the worker has ended).
HWND AttachedWindow(int i);

// Hands the code to worker i, which sends it to its dialog with
// RepairJob::Send; returns once that send has returned (the dialog handled it,
// or nobody was attached). False when the worker did not get that far in time.
bool Send(int i, UINT code, DWORD timeoutMs = 10000);
// Like Send, but the test does not wait for it.
void Post(int i, UINT code);

// Worker i writes its success flags into its job and ends; FinishAll ends
// every worker and waits until they have.
void Finish(int i);
bool FinishAll(DWORD timeoutMs = 10000);

}  // namespace ScriptedWorker
