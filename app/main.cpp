// Entry point: one GLUT window, the viewer window's start-up state, the callback table, and the
// GLUT main loop, which runs every handler on this thread.
#include <malloc.h>

#include <cstdio>

#include <GL/freeglut.h>

#include "app/glut_callbacks.h"

int main(int argc, char** argv) {
    // Unbuffered console, so that whoever reads it sees each message as soon as it is written.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // Keep freed blocks in the heap: every breeding makes display copies of the same size again,
    // and the software renderer allocates and frees large buffers every frame. Handing them back
    // to the system would have them faulted in again, page by page, each time.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);

    openViewerWindow(&argc, argv);
    registerCallbacks();

    glutMainLoop();
    return 0;
}
