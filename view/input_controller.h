// Turns GLUT mouse and keyboard events into the program's user flow: dismissing the title
// screen, turning the population with the trackball, hovering over and picking creatures,
// breeding two picked creatures or one picked twice, panning and zooming, quitting. Holds the
// view parameters the camera reads and the hover and pick indices the population drawing shows.
//
// The first passive mouse movement or left or right press creates the World (which loads the
// start creatures) before it is handled.
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
    // growing downwards. A left or right press picks the creature under (x, y), title or not,
    // and runs the breeding flow on a hit (a miss changes nothing). Middle press starts a
    // trackball drag, middle release ends it; a left release dismisses the title screen for
    // good; a right release does nothing.
    void onMouseButton(int button, int state, int x, int y);

    // Motion with a button held: while rotating, moves the trackball drag to (x, y).
    void onMotion(int x, int y);

    // Motion with no button held: stores (x, y) as the trackball's mouse point and sets
    // hoverIndex to the creature under it, or -999; with no creatures at all hoverIndex stays.
    void onPassiveMotion(int x, int y);

    // Escape ends the program with status 1. i / k move the scene up / down, l / j right / left,
    // u / o nearer / farther, by 2 units, and re-apply the camera with the window's size. Keys
    // are case-sensitive; any other key does nothing.
    void onKey(unsigned char key, int x, int y);

    // Key release, special keys and special-key release: nothing.
    void onOtherKey(int key, int x, int y);

    // The creature under window point (x, y), or NONE_INDEX: unprojects the point at depths 0
    // and 1 through the current viewport, model-view and projection matrices (between display
    // passes the model-view matrix is the camera translation) and hands the ray to the World's
    // pick test with the trackball rotation. Creates the World on first use.
    int32_t pickCreature(int x, int y) const;

    // A press that hit creature i. The first pick is remembered; a second pick of another
    // creature prints "Breeding %d and %d\n" (i, then the first) and breeds the first with a
    // copy of i; the same creature twice self-breeds it, printing "The First Child Exists\n"
    // and "The Second Child Exists\n" for the children it has, "Sending %d %d" with their ids
    // (-999 for none) before and "Created:%d %d\n" with its child ids after. Either breeding
    // clears the first pick.
    void breedingFlow(int32_t i);

private:
    InputController() = default;
};
