// Turns GLUT mouse and keyboard events into the program's user flow: dismissing the title
// screen, turning the population with the trackball, panning and zooming, quitting. Holds the
// view parameters the camera reads.
#pragma once

#include <cstdint>

class InputController {
public:
    float fieldOfView = 45.0f;   // vertical, degrees
    float viewOffsetZ = -20.0f;  // scene translation
    float viewOffsetX = 0.0f;
    float viewOffsetY = 0.0f;
    bool rotating = false;      // the middle button is held: a trackball drag is running
    int32_t firstPick = -1;     // creature picked first for a breeding; -1 = none
    int32_t hoverIndex = -999;  // creature under the mouse; -999 = none
    int32_t titleShown = 1;     // the title screen is shown

    // The program's input controller, created on first use and never destroyed.
    static InputController& instance();

    // GLUT mouse handler; button and state as GLUT gives them, (x, y) in window pixels with y
    // growing downwards. Middle press starts a trackball drag, middle release ends it; a left
    // release dismisses the title screen for good; a right release does nothing.
    void onMouseButton(int button, int state, int x, int y);

    // Motion with a button held: while rotating, moves the trackball drag to (x, y).
    void onMotion(int x, int y);

    // Motion with no button held: stores (x, y) as the trackball's mouse point.
    void onPassiveMotion(int x, int y);

    // Escape ends the program with status 1. i / k move the scene up / down, l / j right / left,
    // u / o nearer / farther, by 2 units, and re-apply the camera with the window's size. Keys
    // are case-sensitive; any other key does nothing.
    void onKey(unsigned char key, int x, int y);

    // Key release, special keys and special-key release: nothing.
    void onOtherKey(int key, int x, int y);

private:
    InputController() = default;

    // A left or right press at (x, y): where a press picks creatures.
    void pickPress(int x, int y);
    // Passive motion at (x, y): where the creature under the mouse is tracked.
    void hover(int x, int y);
};
