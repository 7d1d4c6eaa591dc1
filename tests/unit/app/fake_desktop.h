// A scripted desktop for the update flow's tests: the dialog's controls, the screen, and a
// user who answers each showing of the update dialog; plus the device and transfer boundaries.
#ifndef UPDATE_TOOL_FAKE_DESKTOP_H
#define UPDATE_TOOL_FAKE_DESKTOP_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// What the scripted user does with one showing of the update dialog.
enum UserChoice {
    CLICK_ACTION, // Transfer or Retry
    CLICK_EXIT,
    PRESS_ESC_THEN_EXIT, // Esc and the window's close box first: neither may end the dialog
    PRESS_ESC_THEN_ACTION,
    DIALOG_FAILS, // the dialog could not be created: no window at all
};

struct Showing {
    int uiState;         // UiState() when the dialog was shown
    std::string message; // IDC_MESSAGE text
    std::string action;  // IDC_ACTION text
    bool actionVisible;
    std::string exitText; // IDC_EXIT text
    std::string caption;
    POINT position; // where CenterWindow moved it
    int endDialogCalls;
    bool endedByEsc;
};

struct FakeDesktop {
    // Script
    std::vector<UserChoice> choices;  // one per showing; CLICK_EXIT when run out
    std::vector<int> lookupResults;   // one per FindPrinter; 0 when run out
    std::vector<int> transferResults; // one per RunTransferAction; 0 when run out
    bool displayAvailable = true;
    int screenWidth = 1280;
    int screenHeight = 1024;
    RECT dialogRect = {0, 0, 435, 160};

    // Record
    std::vector<Showing> showings;
    int lookups = 0;
    int transfers = 0;
    int closeHandlesCalls = 0;
    int infoContextsCreated = 0;
    int infoContextsDeleted = 0;
    std::vector<int> closesAtLookup; // closeHandlesCalls seen by each FindPrinter
};

FakeDesktop &Desktop();
void ResetDesktop();

#endif
