// What every benchmark program shares.
#pragma once

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

namespace bench {

// While it lives, standard output goes to /dev/null: the mesh steps print their progress.
class QuietStdout {
public:
    QuietStdout() : saved_(::dup(1)) {
        std::fflush(stdout);
        if (FILE* null = std::fopen("/dev/null", "w")) {
            ::dup2(::fileno(null), 1);
            std::fclose(null);
        }
    }
    ~QuietStdout() {
        std::fflush(stdout);
        ::dup2(saved_, 1);
        ::close(saved_);
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int saved_;
};

// Freed blocks stay in the heap for reuse, as in the viewer (app/main.cpp sets the same
// thresholds): repetitions then measure the steady state rather than the kernel handing out and
// zeroing fresh pages.
inline void keepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest threshold
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

}  // namespace bench
