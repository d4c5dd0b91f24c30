// What the browser's GLUT (web/glut.cpp) offers the web shell beyond GLUT's own interface.
//
// The page's input reaches the program through functions exported from glut.cpp, each passing
// on what GLUT would pass to the program's callbacks, in window pixels (y downwards):
//   pointerButton(button, state, x, y)  a GLUT mouse event; a release only of a button whose
//                                       press the program had (buttons 3 and 4, the wheel,
//                                       hold nothing)
//   pointerMoved(x, y)                  motion with a button held, else passive motion
//   keyPressed(key), keyReleased(key)   a key as GLUT's keyboard callbacks take it, at the
//                                       pointer's last position
//   setMotion(running)                  0 pauses the idle callback: a frame is then drawn only
//                                       after an input; 1 lets it run again
//   requestFrame()                      a frame at the next animation frame, even while paused
//   stopFrameLoop()                     no frame and no input from now on (the program has ended)
#pragma once

// Called after each display pass the browser shows.
using FrameShown = void (*)();
void onFrameShown(FrameShown callback);

// Called after each input the page passes to the program has been handled.
using InputTaken = void (*)();
void onInputTaken(InputTaken callback);

extern "C" {
void pointerButton(int button, int state, int x, int y);
void pointerMoved(int x, int y);
void keyPressed(int key);
void keyReleased(int key);
void setMotion(int running);
void requestFrame();
void stopFrameLoop();
}
