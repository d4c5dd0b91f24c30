// The few OpenGL entry points the shared shell calls that the browser's OpenGL emulation lacks,
// written on top of the ones it has, and the ones WebGL has no use for, skipped so that they
// neither warn nor raise a WebGL error.
#include "web/gl_compat.h"

#include <GL/gl.h>

#include "app/population_draw.h"
#include "mesh/gl_calls.h"

bool webFrameShown = false;

// The population's pass calls this in place of drawPopulation (app/population_pass.cpp): the
// population is drawn only in a pass the browser will show (see webFrameShown). Any other pass
// does to the generator and the current colour and normal what the drawing would, and computes no
// vertex.
void webDrawPopulation(const World& world, const PopulationView& view) {
    if (webFrameShown) {
        drawPopulation(world, view);
    } else {
        passPopulationUnseen(world);
    }
}

namespace {

// OpenGL's current normal as the model drawing last set it; OpenGL starts with (0, 0, 1).
GLfloat currentNormal[3] = {0.0f, 0.0f, 1.0f};

}  // namespace

// The stand-ins of mesh/gl_calls.h. The emulation takes a normal only between glBegin and glEnd,
// and keeps no current normal to read back; the model drawing sets one after its arrays and reads
// it before them, so here it is kept aside. Every vertex the drawing sends takes its normal from
// the normal array, so what is drawn does not depend on it.
void webNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    currentNormal[0] = x;
    currentNormal[1] = y;
    currentNormal[2] = z;
}

void webGetFloatv(GLenum pname, GLfloat* params) {
    if (pname == GL_CURRENT_NORMAL) {
        params[0] = currentNormal[0];
        params[1] = currentNormal[1];
        params[2] = currentNormal[2];
        return;
    }
    glGetFloatv(pname, params);
}

// WebGL always interpolates colours across a triangle, which is what GL_SMOOTH asks for (the
// emulation has only a stub that warns). The perspective correction hint is no target in WebGL,
// which always corrects for perspective, and a hint may be ignored anyway.
void webShadeModel(GLenum) {}

void webHint(GLenum, GLenum) {}

extern "C" {

// The model-view and projection matrices, the only state the shell reads in double, widened
// from the emulation's single-precision matrices (the desktop's OpenGL keeps them in single
// precision too). Any other name leaves params untouched.
void glGetDoublev(GLenum pname, GLdouble* params) {
    if (pname != GL_MODELVIEW_MATRIX && pname != GL_PROJECTION_MATRIX) return;
    GLfloat values[16] = {};
    glGetFloatv(pname, values);
    for (int i = 0; i < 16; ++i)
        params[i] = values[i];
}

}  // extern "C"
