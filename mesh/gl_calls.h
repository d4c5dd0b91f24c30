// The OpenGL calls of the shell's drawing that the browser build makes otherwise, in one place.
// On the desktop each is the OpenGL call of its name. In the browser (__EMSCRIPTEN__) each is a
// stand-in of the web shell (web/gl_compat.cpp) written on top of the OpenGL emulation, which
// lacks these or has only stubs that warn; what is drawn is the same.
#pragma once

#include <GL/gl.h>

#ifdef __EMSCRIPTEN__
void webNormal3f(GLfloat x, GLfloat y, GLfloat z);
void webGetFloatv(GLenum pname, GLfloat* params);
void webShadeModel(GLenum mode);
void webHint(GLenum target, GLenum mode);
#endif

namespace gl {

// glNormal3f. The emulation takes a normal only between glBegin and glEnd and keeps no current
// normal; the browser's keeps it aside for getFloatv.
inline void normal3f(GLfloat x, GLfloat y, GLfloat z) {
#ifdef __EMSCRIPTEN__
    webNormal3f(x, y, z);
#else
    glNormal3f(x, y, z);
#endif
}

// glGetFloatv. The browser's answers GL_CURRENT_NORMAL with the normal normal3f kept (OpenGL's
// (0, 0, 1) before any), and passes any other name to the emulation.
inline void getFloatv(GLenum pname, GLfloat* params) {
#ifdef __EMSCRIPTEN__
    webGetFloatv(pname, params);
#else
    glGetFloatv(pname, params);
#endif
}

// glShadeModel. WebGL always interpolates colours across a triangle, which is GL_SMOOTH: the
// browser's does nothing.
inline void shadeModel(GLenum mode) {
#ifdef __EMSCRIPTEN__
    webShadeModel(mode);
#else
    glShadeModel(mode);
#endif
}

// glHint. WebGL always corrects for perspective, and a hint may be ignored anyway: the browser's
// does nothing.
inline void hint(GLenum target, GLenum mode) {
#ifdef __EMSCRIPTEN__
    webHint(target, mode);
#else
    glHint(target, mode);
#endif
}

}  // namespace gl
