// ui/MessageDialog.h: the agent's own modal message box: a caption, a text, an optional standard icon
// and sound, and a row of buttons from the message-box type bits or a ";" list, in the process-wide
// look of ui/MessageLayout.h. Built at run time and sized to the measured text; reports no error.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/MessageLayout.h"

constexpr int IdMessageIcon = 12299;
constexpr int IdMessageText = 12300;
constexpr int IdMeasuringSurface = 12301;   // off-screen; the buttons follow it, 12302 being the first
constexpr int IdLastEndingButton = 12320;   // a button with a higher id does not end the dialog

// The button that Enter presses in dialog while no button has the focus: its first from the moment
// it is shown, then the last button that reported the focus. Each dialog keeps its own, so a dialog
// shown over another leaves the other's as it was.
int32_t FocusedButtonId(HWND dialog);

// Shows the dialog modally over owner (disabled meanwhile) and returns the 1-based number of the
// button pressed, or 0 after a system close. An empty caption shows the executable's own name; an
// empty list with type bits 0 gives one "&OK" button. Runs on the user-interface thread.
int32_t ShowMessageDialog(HWND owner, const std::string& text, const std::string& caption, uint32_t style,
                          const std::string& buttons);

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Moves window over the center of owner (its own owner when null) and to the top of the z-order; an
// owner whose rectangle cannot be read counts as a rectangle of zeros.
void CenterOnOwner(HWND window, HWND owner);
