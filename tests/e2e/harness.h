// End-to-end harness: runs the real viewer as a child process with its console captured, finds
// its window on the X display, drives it with synthetic pointer and key events (XTest), grabs
// the window's image to check regions and save PNGs, and reads the exit status.
//
// Everything waits by polling with a timeout; nothing sleeps for a fixed long time. Needs an X
// display in DISPLAY (Xvfb in the test runs).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Polls condition every `every` until it holds (true) or timeout has passed (false).
bool waitUntil(const std::function<bool()>& condition, Millis timeout, Millis every = 20ms);

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Within tolerance of each other in every channel.
inline bool isNear(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// The viewer's clear colour (0.41, 0.61, 0.81) on an 8-bit display.
inline constexpr Rgb CLEAR_COLOUR{105, 156, 207};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A window image, row 0 at the top as on screen.
class Image {
public:
    Image() = default;
    Image(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return pixels_.empty(); }
    Rgb at(int x, int y) const;
    void set(int x, int y, Rgb colour);

    // The pixels in rect (clipped to the image) within tolerance of colour in every channel, and
    // their share of the rect's pixels (0 for an empty rect).
    long countNear(Rect rect, Rgb colour, int tolerance) const;
    double fractionNear(Rect rect, Rgb colour, int tolerance = 2) const;
    Rect whole() const { return {0, 0, width_, height_}; }

    // Writes an 8-bit RGB PNG; false on failure.
    bool savePng(const std::string& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Rgb> pixels_;
};

// The image at half its width and height, each pixel the mean of a 2 x 2 block.
Image halfSize(const Image& image);

// ---- What the viewer shows, in a 1024 x 768 window ----

// The viewer window's title.
inline constexpr const char* TITLE = "Subdivision Surfaces";

// The title picture: a square about 742 pixels high in the middle, the clear colour in the
// bands left and right of it, hardly any clear colour inside it.
bool showsTitle(const Image& image);
// The start population: no title, the clear colour above the creatures, and the creatures (at
// least 1% of the pixels in the lower half not the clear colour).
bool showsPopulation(const Image& image);

// Where the end-to-end tests save a screenshot called name (the directory is made if need be).
std::string shotPath(const std::string& name);

// How a child process ended.
struct ExitStatus {
    bool exited = false;  // ended through exit (status valid) rather than a signal
    int status = 0;       // exit status, 0 .. 255
    int signal = 0;       // terminating signal when not exited
};

// Which of the child's streams ChildProcess keeps; the others stay those of this process.
enum class Capture {
    Output,           // standard output
    OutputAndErrors,  // standard output and, apart from it, standard error
};

// The viewer (or any program) as a child process, started in a working directory with its
// standard output (and, if asked, its standard error) captured. Reader threads drain the pipes
// continuously, so the child never blocks on a full pipe. The destructor ends a child that is
// still running (SIGTERM, then SIGKILL) and reaps it.
class ChildProcess {
public:
    ChildProcess(const std::string& executable, const std::string& workingDirectory,
                 const std::vector<std::string>& arguments = {}, Capture capture = Capture::Output);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Everything the child has written to standard output so far.
    std::string transcript() const;
    // Its length, without copying it.
    size_t transcriptSize() const;
    // Everything the child has written to standard error so far (with Capture::OutputAndErrors).
    std::string errors() const;
    // Waits until the transcript contains text.
    bool waitForOutput(std::string_view text, Millis timeout) const;

    // The exit status once the child has ended within timeout; none if it is still running.
    std::optional<ExitStatus> waitForExit(Millis timeout);
    bool running();

private:
    void readInto(int fd, std::string& text);
    void joinReaders();

    pid_t pid_ = -1;
    std::optional<ExitStatus> ended_;
    mutable std::mutex mutex_;
    std::string output_;
    std::string errors_;
    std::thread reader_;
    std::thread errorReader_;
};

// Pointer buttons as X numbers them.
inline constexpr int LEFT = 1;
inline constexpr int MIDDLE = 2;
inline constexpr int RIGHT = 3;

// A connection to the X display in DISPLAY.
class XSession {
public:
    XSession();  // check connected() before use
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool connected() const { return display_ != nullptr; }

    // A viewable top-level window with this title that belongs to pid (by _NET_WM_PID where
    // the window sets it), once one appears within timeout; 0 if none. The window is moved to
    // the screen's top-left corner, so that all of it can be read back.
    unsigned long findWindow(const std::string& title, pid_t pid, Millis timeout);

    // The window's current contents; an empty image when it cannot be read (say, it is gone).
    Image grab(unsigned long window);
    // Grabs the window until check holds of what it shows, or timeout passes; returns the last
    // grab either way.
    Image grabWhen(unsigned long window, const std::function<bool(const Image&)>& check,
                   Millis timeout);
    // A hash of the window's current contents, cheaper than grab: two frames that differ in a
    // pixel differ in their digests (but for a hash collision). 0 when it cannot be read.
    std::uint64_t digest(unsigned long window);
    // Waits until the window's contents have changed `frames` times since the call, or timeout
    // has passed (false). The viewer redraws without pause once the population shows, and every
    // frame differs (the dark pass is jittered anew): with frames = 2, input sent before the call
    // has been handled in what the window shows then, since the first new frame may have been
    // under way already but the second began after it.
    bool waitForFrames(unsigned long window, int frames, Millis timeout);

    // Synthetic input, as if from the real devices. Coordinates are window pixels; buttons are
    // LEFT, MIDDLE and RIGHT.
    void movePointer(unsigned long window, int x, int y);
    void pressButton(int button);
    void releaseButton(int button);
    void click(unsigned long window, int x, int y, int button);
    // A key by its X keysym name ("Escape", "u", "F1"), with Shift held if asked. The window
    // gets the keyboard focus first.
    void tapKey(unsigned long window, const std::string& keysymName, bool shift = false);

private:
    void flush();

    void* display_ = nullptr;  // the Xlib Display, kept out of this header
};

}  // namespace e2e
