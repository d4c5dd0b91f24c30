// The program's one window: its size, the frame clock, the fixed OpenGL state set at start-up,
// the idle tick and the per-frame display pass, and the title screen.
#pragma once

#include <GL/gl.h>

#include "app/raw_image.h"

// Where the title picture is read from, relative to the working directory.
inline constexpr const char* TITLE_IMAGE_PATH = "./image_data/title.raw";
inline constexpr int TITLE_IMAGE_SIZE = 1024;  // pixels, square, 3 channels

// Exit status when the title picture is missing, unreadable or too short: the same -1 the
// program uses for any input file it cannot open (the shell reports it as 255).
inline constexpr int TITLE_EXIT_STATUS = -1;

class ViewerWindow {
public:
    int width = 0;          // window width in pixels; the camera's reshape keeps it current
    int height = 0;         // window height in pixels
    float currentTime = 0;  // milliseconds since GLUT started, as of the last idle tick
    GLuint titleList = 0;   // display list of the title quad
    RawImage titleImage;    // the title picture and its texture

    // The program's window object, created on first use (after the GLUT window exists: the
    // constructor reads GLUT's clock) and never destroyed.
    static ViewerWindow& instance();

    // Stores the size, sets the fixed OpenGL state and the three lights, then sets up the title
    // screen. Needs the GLUT window's context current. Ends the program when the title picture
    // cannot be used (see setUpTitle).
    void init(int windowWidth, int windowHeight);

    // The idle handler: updates currentTime and asks GLUT for a redisplay.
    void tick();

    // The per-frame pass: clears, draws the title while it is shown or else the population,
    // swaps buffers. The model-view matrix is pushed and popped around the drawing, so between
    // passes it is the camera translation.
    void display();

    // Loads TITLE_IMAGE_PATH into a clamped texture and compiles the title quad into
    // titleList. If the file is missing, unreadable or shorter than 1024 x 1024 x 3 bytes, prints
    // why and exits with TITLE_EXIT_STATUS, making no texture and no list.
    void setUpTitle();

    // Draws the title quad 2.5 units in front of the eye, textured, with counter-clockwise
    // front faces while it is drawn. Leaves the matrices, front face and texturing as it found
    // them (clockwise front faces, texturing off).
    void drawTitle();

    // The textured quad of the title screen, with the state drawTitle has set: the display list
    // titleList on the desktop, client arrays in the browser.
    void drawTitleQuad();

private:
    ViewerWindow();
};
