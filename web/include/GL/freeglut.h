// The browser's GLUT has the classic interface only, which is all the shared shell uses of
// freeglut's.
#pragma once

#include <GL/glut.h>
