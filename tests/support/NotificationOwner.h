#pragma once
// A hidden top-level window to own a progress dialog in place of the main
// dialog: it records the notifications (WM_USER+1..+18, by wParam) it gets.
// Create it on the thread that runs the dialog.
#include "tests/support/MessageRecorder.h"

class NotificationOwner : public MessageRecorder {
public:
    NotificationOwner() : MessageRecorder(Kind::TopLevel) {}
};
