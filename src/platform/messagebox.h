// Modal questions and error reports for the user.
//
// Both calls work before GLUT is initialised and leave nothing of SDL running
// afterwards, so they coexist with freeglut in one process. Where no window
// system is reachable they fall back to the terminal.
#pragma once

// Asks a yes/no question in a modal box (Return answers Yes, Escape answers No).
// Without a display the question goes to standard output and one line is read
// from standard input: "n" or "no" in any case means No, anything else Yes.
// Returns true when the answer was No.
bool askYesNoAnsweredNo(const char* text, const char* caption);

// Shows `text` in a modal box titled "Error" with one OK button and waits for
// it to be closed. The text is always printed to standard error as well, so
// it is seen where no box can be shown.
void showErrorBox(const char* text);
