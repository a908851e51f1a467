// How the desktop can end the program besides Escape: the title bar's close
// button, the window destroyed by another client, the X server going away,
// and SIGTERM or SIGINT (a session ending, Ctrl-C in the terminal). Each
// ends it the way the closing screen does: status 0, the log whole, the
// loader waited for. GLUT thread, after the window exists.
#pragma once

// Installs the close callback, the X error handlers and the signal handlers.
void watchDesktop();

// Why the program should end now, or null while nothing asked. Idle checks
// it on every call; a handler only records the request.
const char* endRequested();

// Idle's check: when something asked, logs why (one line) and ends.
void endWhenRequested();
