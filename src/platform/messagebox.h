// Modal questions and error reports for the user.
//
// Both calls work before GLUT is initialised and leave nothing of SDL running
// afterwards that they started themselves, so they coexist with freeglut (and
// with the sound layer's SDL audio) in one process. Where no window system is
// reachable they fall back to the terminal. Call them on the GLUT thread.
#pragma once
#include <cstdio>

// Asks a yes/no question in a modal box (Return answers Yes, Escape answers No).
// Without a display the question goes to standard output and one line is read
// from standard input: "n" or "no" in any case means No, anything else Yes.
// Returns true when the answer was No. Closing the box without choosing a
// button is not a No.
bool askYesNoAnsweredNo(const char* text, const char* caption);

// The terminal form of the question: writes "caption: text [y/n] " to `out`
// and reads one line from `in`. No input at all is not a No; a line of 255
// bytes or more is read to its end and is not a No either. Returns true when
// the answer was No.
bool askYesNoOnTerminal(const char* text, const char* caption, std::FILE* in, std::FILE* out);

// True when `line` answers No: "n" or "no" in any case, surrounding blanks
// and the line end ignored.
bool answerMeansNo(const char* line);

// Shows `text` in a modal box titled "Error" with one OK button and waits for
// it to be closed. The text is always printed to standard error as well, so
// it is seen where no box can be shown.
void showErrorBox(const char* text);
