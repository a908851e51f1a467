// The GLUT display callback: the screens' steps and one whole frame by
// demo state. GLUT thread only.
#pragma once

// Draws the frame of the current state and swaps the buffers. On the title
// and loading screens it also moves the words on, starts the loader once
// the six title words have arrived after d, alternates the loading words
// and enters the scene in the frame that sees the loader's end; on the
// closing screen it moves the two words on and, in the frame after the
// second has arrived, waits five seconds and ends the program.
void display();

// What the closing screen does in the frame after its second word has
// arrived: hold the picture five seconds and end the program. A recording
// puts its own here (it holds the picture in the video instead and returns,
// and that frame is then drawn as the one before it).
extern void (*closingScreenEnded)();

// display() without the flush and the swap: the frame stays in the back
// buffer (tests read it there).
void drawFrame();
