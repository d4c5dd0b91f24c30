// Preloaded into the viewer by the GUI soak: libraries are never unloaded, so that the leak check
// at exit still sees the memory that the OpenGL driver holds through its globals as reachable.
#include <dlfcn.h>

extern "C" int dlclose(void* /*handle*/) {
    return 0;
}
