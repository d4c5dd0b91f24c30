#include "harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace e2e {

bool waitUntil(const std::function<bool()>& condition, Millis timeout, Millis every) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(every);
    }
}

// ---- Image ------------------------------------------------------------------------------------

Image::Image(int width, int height)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

Rgb Image::at(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void Image::set(int x, int y, Rgb colour) {
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = colour;
}

long Image::countNear(Rect rect, Rgb colour, int tolerance) const {
    long near = 0;
    for (int y = std::max(rect.y, 0); y < std::min(rect.y + rect.height, height_); ++y) {
        for (int x = std::max(rect.x, 0); x < std::min(rect.x + rect.width, width_); ++x) {
            if (isNear(at(x, y), colour, tolerance)) ++near;
        }
    }
    return near;
}

double Image::fractionNear(Rect rect, Rgb colour, int tolerance) const {
    const int width = std::min(rect.x + rect.width, width_) - std::max(rect.x, 0);
    const int height = std::min(rect.y + rect.height, height_) - std::max(rect.y, 0);
    if (width <= 0 || height <= 0) return 0.0;
    return static_cast<double>(countNear(rect, colour, tolerance)) /
           (static_cast<double>(width) * height);
}

bool Image::savePng(const std::string& path) const {
    if (empty()) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = png != nullptr && info != nullptr;
    if (ok && setjmp(png_jmpbuf(png)) != 0) ok = false;
    if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width_), static_cast<png_uint_32>(height_),
                     8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<png_byte> row(static_cast<std::size_t>(width_) * 3);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const Rgb p = at(x, y);
                const std::size_t i = static_cast<std::size_t>(x) * 3;
                row[i] = p.r;
                row[i + 1] = p.g;
                row[i + 2] = p.b;
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}

Image halfSize(const Image& image) {
    Image half(image.width() / 2, image.height() / 2);
    for (int y = 0; y < half.height(); ++y) {
        for (int x = 0; x < half.width(); ++x) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const Rgb p = image.at(2 * x + dx, 2 * y + dy);
                    r += p.r;
                    g += p.g;
                    b += p.b;
                }
            }
            half.set(
                x, y,
                {static_cast<std::uint8_t>((r + 2) / 4), static_cast<std::uint8_t>((g + 2) / 4),
                 static_cast<std::uint8_t>((b + 2) / 4)});
        }
    }
    return half;
}

bool showsTitle(const Image& image) {
    if (image.width() != 1024 || image.height() != 768) return false;
    const int band = 130;  // the picture spans about x = 141 .. 882
    return image.fractionNear({0, 0, band, 768}, CLEAR_COLOUR) == 1.0 &&
           image.fractionNear({1024 - band, 0, band, 768}, CLEAR_COLOUR) == 1.0 &&
           image.fractionNear({200, 60, 624, 648}, CLEAR_COLOUR, 6) < 0.02;
}

bool showsPopulation(const Image& image) {
    if (image.width() != 1024 || image.height() != 768 || showsTitle(image)) return false;
    return image.fractionNear({0, 0, 1024, 200}, CLEAR_COLOUR) == 1.0 &&
           image.fractionNear({0, 384, 1024, 384}, CLEAR_COLOUR, 6) < 0.99;
}

std::string shotPath(const std::string& name) {
    std::filesystem::create_directories(CREATURES_E2E_SHOT_DIR);
    return std::string(CREATURES_E2E_SHOT_DIR) + "/" + name;
}

// ---- ChildProcess -----------------------------------------------------------------------------

ChildProcess::ChildProcess(const std::string& executable, const std::string& workingDirectory,
                           const std::vector<std::string>& arguments, Capture capture) {
    int fds[2];
    int errorFds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        return;
    }
    if (capture == Capture::OutputAndErrors && pipe2(errorFds, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        close(fds[0]);
        close(fds[1]);
        return;
    }
    std::vector<std::string> argvStrings{executable};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : argvStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        // The child: only async-signal-safe calls until exec.
        if (chdir(workingDirectory.c_str()) != 0 || dup2(fds[1], STDOUT_FILENO) < 0) _exit(126);
        if (errorFds[1] >= 0 && dup2(errorFds[1], STDERR_FILENO) < 0) _exit(126);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (errorFds[1] >= 0) close(errorFds[1]);
    if (pid_ < 0) {
        std::perror("fork");
        close(fds[0]);
        if (errorFds[0] >= 0) close(errorFds[0]);
        return;
    }
    reader_ = std::thread([this, fd = fds[0]] { readInto(fd, output_); });
    if (errorFds[0] >= 0) {
        errorReader_ = std::thread([this, fd = errorFds[0]] { readInto(fd, errors_); });
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGTERM);
        if (!waitForExit(3s)) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    joinReaders();
}

void ChildProcess::joinReaders() {
    if (reader_.joinable()) reader_.join();
    if (errorReader_.joinable()) errorReader_.join();
}

void ChildProcess::readInto(int fd, std::string& text) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            const std::lock_guard<std::mutex> lock(mutex_);
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd);
}

std::string ChildProcess::transcript() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

size_t ChildProcess::transcriptSize() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return output_.size();
}

std::string ChildProcess::errors() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

bool ChildProcess::waitForOutput(std::string_view text, Millis timeout) const {
    return waitUntil([&] { return transcript().find(text) != std::string::npos; }, timeout);
}

std::optional<ExitStatus> ChildProcess::waitForExit(Millis timeout) {
    if (ended_) return ended_;
    if (pid_ <= 0) return std::nullopt;
    waitUntil(
        [&] {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done != pid_) return false;
            ExitStatus result;
            result.exited = WIFEXITED(status);
            result.status = result.exited ? WEXITSTATUS(status) : 0;
            result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            ended_ = result;
            return true;
        },
        timeout);
    // The child has closed its ends of the pipes: the readers end with everything read.
    if (ended_) joinReaders();
    return ended_;
}

bool ChildProcess::running() {
    return pid_ > 0 && !waitForExit(0ms);
}

// ---- XSession ---------------------------------------------------------------------------------

namespace {

Display* dpy(void* display) {
    return static_cast<Display*>(display);
}

// Xlib reports errors (say, a window that vanished under a query) through a handler that
// exits by default; the harness treats them as "not there".
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1ul) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// The window's whole contents (to be freed with XDestroyImage), or null when it cannot be read.
XImage* windowImage(Display* d, unsigned long window) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(d, window, &attributes) == 0) return nullptr;
    return XGetImage(d, window, 0, 0, static_cast<unsigned>(attributes.width),
                     static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
}

std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const unsigned long value = (pixel & mask) >> shiftOf(mask);
    const unsigned long max = mask >> shiftOf(mask);
    return static_cast<std::uint8_t>(value * 255ul / max);
}

}  // namespace

XSession::XSession() {
    // A busy server now and then refuses a connection; it takes the next one.
    waitUntil(
        [&] {
            display_ = XOpenDisplay(nullptr);
            return display_ != nullptr;
        },
        5s, 100ms);
    if (display_ != nullptr) {
        XSetErrorHandler(ignoreXError);
        // A tapped key is one press: on a loaded machine the server could otherwise repeat a key
        // whose release it has not handled yet.
        XAutoRepeatOff(dpy(display_));
    }
}

XSession::~XSession() {
    if (display_ != nullptr) XCloseDisplay(dpy(display_));
}

void XSession::flush() {
    XSync(dpy(display_), False);
}

unsigned long XSession::findWindow(const std::string& title, pid_t pid, Millis timeout) {
    Display* d = dpy(display_);
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    Window found = 0;
    std::string seen;  // the windows with this title at the last look, for a failure
    waitUntil(
        [&] {
            Window root = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned int count = 0;
            seen.clear();
            if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) == 0) {
                return false;
            }
            for (unsigned int i = 0; i < count && found == 0; ++i) {
                char* name = nullptr;
                if (XFetchName(d, children[i], &name) == 0 || name == nullptr) continue;
                const bool titled = title == name;
                XFree(name);
                if (!titled) continue;
                seen += " " + std::to_string(children[i]);
                Atom type = 0;
                int format = 0;
                unsigned long items = 0;
                unsigned long after = 0;
                unsigned char* data = nullptr;
                if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                       &format, &items, &after, &data) == Success &&
                    data != nullptr) {
                    const long owner = items == 1 ? *reinterpret_cast<long*>(data) : -1;
                    XFree(data);
                    if (owner != pid) {
                        seen += " (process " + std::to_string(owner) + ")";
                        continue;
                    }
                }
                XWindowAttributes attributes;
                if (XGetWindowAttributes(d, children[i], &attributes) != 0 &&
                    attributes.map_state == IsViewable) {
                    found = children[i];
                } else {
                    seen += " (not viewable)";
                }
            }
            if (children != nullptr) XFree(children);
            return found != 0;
        },
        timeout, 50ms);
    if (found == 0) {
        // What the process was doing: its state and where it waits in the kernel.
        std::string state, wchan;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        for (int field = 0; field < 3; ++field)
            stat >> state;  // the third field
        std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/wchan"), wchan);
        std::fprintf(stderr,
                     "no viewable window \"%s\" of process %d; windows of that title:%s; "
                     "process state %s, waiting in %s\n",
                     title.c_str(), static_cast<int>(pid), seen.empty() ? " none" : seen.c_str(),
                     state.empty() ? "gone" : state.c_str(), wchan.empty() ? "-" : wchan.c_str());
        return 0;
    }

    // Without a window manager the window keeps GLUT's default position (-1, -1), one pixel
    // off screen, and an off-screen part cannot be read back: put it at the top-left corner.
    XMoveWindow(d, found, 0, 0);
    flush();
    waitUntil(
        [&] {
            XWindowAttributes attributes;
            return XGetWindowAttributes(d, found, &attributes) != 0 && attributes.x == 0 &&
                   attributes.y == 0;
        },
        5s);
    return found;
}

Image XSession::grabWhen(unsigned long window, const std::function<bool(const Image&)>& check,
                         Millis timeout) {
    Image last;
    waitUntil(
        [&] {
            last = grab(window);
            return check(last);
        },
        timeout, 50ms);
    return last;
}

Image XSession::grab(unsigned long window) {
    XImage* ximage = windowImage(dpy(display_), window);
    if (ximage == nullptr) return {};
    Image image(ximage->width, ximage->height);
    for (int y = 0; y < ximage->height; ++y) {
        for (int x = 0; x < ximage->width; ++x) {
            const unsigned long pixel = XGetPixel(ximage, x, y);
            image.set(x, y,
                      {channel(pixel, ximage->red_mask), channel(pixel, ximage->green_mask),
                       channel(pixel, ximage->blue_mask)});
        }
    }
    XDestroyImage(ximage);
    return image;
}

std::uint64_t XSession::digest(unsigned long window) {
    XImage* ximage = windowImage(dpy(display_), window);
    if (ximage == nullptr) return 0;
    // FNV-1a over the rows' bytes (without the padding at their ends).
    std::uint64_t hash = 14695981039346656037ull;
    const std::size_t rowBytes = static_cast<std::size_t>(ximage->width) *
                                 static_cast<std::size_t>(ximage->bits_per_pixel) / 8;
    for (int y = 0; y < ximage->height; ++y) {
        const auto* row =
            reinterpret_cast<const unsigned char*>(ximage->data) +
            static_cast<std::size_t>(y) * static_cast<std::size_t>(ximage->bytes_per_line);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            hash = (hash ^ row[i]) * 1099511628211ull;
        }
    }
    XDestroyImage(ximage);
    return hash == 0 ? 1 : hash;
}

bool XSession::waitForFrames(unsigned long window, int frames, Millis timeout) {
    std::uint64_t last = digest(window);
    int seen = 0;
    return waitUntil(
        [&] {
            const std::uint64_t now = digest(window);
            if (now != last) {
                ++seen;
                last = now;
            }
            return seen >= frames;
        },
        timeout, 5ms);
}

void XSession::movePointer(unsigned long window, int x, int y) {
    Display* d = dpy(display_);
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    flush();
}

void XSession::pressButton(int button) {
    XTestFakeButtonEvent(dpy(display_), static_cast<unsigned>(button), True, CurrentTime);
    flush();
}

void XSession::releaseButton(int button) {
    XTestFakeButtonEvent(dpy(display_), static_cast<unsigned>(button), False, CurrentTime);
    flush();
}

void XSession::click(unsigned long window, int x, int y, int button) {
    movePointer(window, x, y);
    pressButton(button);
    releaseButton(button);
}

void XSession::tapKey(unsigned long window, const std::string& keysymName, bool shift) {
    Display* d = dpy(display_);
    XSetInputFocus(d, window, RevertToPointerRoot, CurrentTime);
    const KeyCode shiftCode = XKeysymToKeycode(d, XK_Shift_L);
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysymName.c_str()));
    if (code == 0) return;
    if (shift) XTestFakeKeyEvent(d, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(d, shiftCode, False, CurrentTime);
    flush();
}

}  // namespace e2e
