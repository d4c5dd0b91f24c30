// What the browser's OpenGL stand-ins (gl_compat.cpp) share with the rest of the web shell.
#pragma once

// Whether the display pass running now is one the browser will show: the pass GLUT runs in an
// animation frame sets it (main.cpp). A pass run from inside an input handler, as breeding runs
// one after each creature it makes, draws a picture the browser never shows, since it shows
// nothing until the handler returns and the next animation frame draws the whole picture again:
// such a pass makes the random draws of the creatures' drawing and draws nothing.
extern bool webFrameShown;
