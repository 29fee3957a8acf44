#pragma once
// The application object: the whole run of the program is one modal run of
// the main dialog.
class CQEVZUNApp {
public:
    // Runs the program. The process ends when the main dialog closes; only a
    // second copy returns (false), so that no message loop of its own follows.
    bool InitInstance();
};
