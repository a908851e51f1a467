// The three standard descriptors, made safe to use.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed (a
// launcher may start the program with standard output closed). Call it
// first thing in main, before anything opens a file: a file opened while 1
// is closed would become standard output and receive every printed line.
void ensureStandardStreams();
