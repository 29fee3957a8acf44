#pragma once
// The application object: the whole run of the program is one modal run of
// the main dialog.
class CQEVZUNApp {
public:
    // Runs the program; always false, so that no message loop of the
    // application's own follows.
    bool InitInstance();
};
