#pragma once
// Standard output and error go to /dev/null while a Silence lives (the
// messages and meters of thousands of runs in one process).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace testutil {

struct Silence {
  int out = dup(1), err = dup(2);
  Silence() {
    std::fflush(stdout);
    std::fflush(stderr);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }
  ~Silence() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(out, 1);
    dup2(err, 2);
    close(out);
    close(err);
  }
};

}  // namespace testutil
