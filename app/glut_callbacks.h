// The program's window and its table of GLUT callbacks, shared by the desktop and the browser
// entry points.
#pragma once

// Initialises GLUT with the command line and opens the one 1024 x 768 double-buffered RGB window
// with a depth buffer, titled "Subdivision Surfaces".
void openGlutWindow(int* argc, char** argv);

// openGlutWindow, then initialises the viewer window in it (OpenGL state, lights, title screen).
void openViewerWindow(int* argc, char** argv);

// Registers the reshape, display, idle, motion, passive-motion, mouse, keyboard, keyboard-up,
// special and special-up callbacks, in that order, on the current GLUT window. Each passes GLUT's
// arguments on unchanged to the camera, the viewer window or the input controller; key release,
// special keys and special-key release go to the input controller's do-nothing handler.
void registerCallbacks();
