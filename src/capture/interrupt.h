// Ctrl-C during a recording: instead of ending the process (and leaving a
// file without its index), the first interrupt only raises a flag that the
// recording loop polls; it then finishes the file up to the last frame. A
// second interrupt ends the process the ordinary way, for a stuck run.
#pragma once

// Installs the handler for SIGINT and SIGTERM and lowers the flag.
void catchInterrupts();
// Restores the ordinary behaviour of both signals.
void releaseInterrupts();
// Whether an interrupt arrived since catchInterrupts(). Any thread.
bool interruptRequested();
