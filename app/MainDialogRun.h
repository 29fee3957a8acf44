#pragma once
// The whole run of the program: the main dialog's modal run, and then the
// end of the process.
class CModalDialog;

// Runs the dialog modally and ends the process with exit code 0 as soon as it
// has closed. A repair worker may still run then; it is never waited for and
// may log or read the constant tables and seams at any moment. Returning
// from WinMain would let the run-time library destroy those static objects
// under it, so the process ends here instead: ExitProcess stops the other
// threads before anything is torn down. The log is written line by line, so
// no line already logged is lost.
[[noreturn]] void RunMainDialogThenEndProcess(CModalDialog& mainDialog);
