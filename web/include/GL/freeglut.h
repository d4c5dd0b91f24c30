// GLUT in the browser: the part of freeglut's interface that the shared shell uses, with
// freeglut's values, written on documented Emscripten interfaces in web/glut.cpp. Nothing of
// Emscripten's own GLUT is used: its input handlers would listen to the whole page.
#pragma once

#include <GL/gl.h>

inline constexpr int GLUT_RGB = 0x0000;
inline constexpr int GLUT_DOUBLE = 0x0002;
inline constexpr int GLUT_DEPTH = 0x0010;

inline constexpr int GLUT_LEFT_BUTTON = 0;
inline constexpr int GLUT_MIDDLE_BUTTON = 1;
inline constexpr int GLUT_RIGHT_BUTTON = 2;
inline constexpr int GLUT_DOWN = 0;
inline constexpr int GLUT_UP = 1;

inline constexpr GLenum GLUT_ELAPSED_TIME = 0x02BC;

void glutInit(int* argc, char** argv);
void glutInitDisplayMode(unsigned int mode);
void glutInitWindowSize(int width, int height);
// Makes the window's OpenGL context on the page's canvas (Module.canvas, or the context the
// page made for it) and makes it current. Returns the window's number, 1.
int glutCreateWindow(const char* title);

void glutReshapeFunc(void (*callback)(int width, int height));
void glutDisplayFunc(void (*callback)());
void glutIdleFunc(void (*callback)());
void glutMotionFunc(void (*callback)(int x, int y));
void glutPassiveMotionFunc(void (*callback)(int x, int y));
void glutMouseFunc(void (*callback)(int button, int state, int x, int y));
void glutKeyboardFunc(void (*callback)(unsigned char key, int x, int y));
void glutKeyboardUpFunc(void (*callback)(unsigned char key, int x, int y));
void glutSpecialFunc(void (*callback)(int key, int x, int y));
void glutSpecialUpFunc(void (*callback)(int key, int x, int y));

// Runs the window: a reshape to the window's size, then once per animation frame of the browser
// the idle callback and, when a redisplay has been asked for, the display callback. Does not
// return: control goes back to the browser.
void glutMainLoop();
// GLUT_ELAPSED_TIME: whole milliseconds since glutInit. Any other name gives 0.
int glutGet(GLenum what);
void glutPostRedisplay();
// The browser shows what was drawn once control goes back to it: nothing to do here.
void glutSwapBuffers();
