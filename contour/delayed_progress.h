#pragma once
// A progress sink for loops of the contour library that may be short or
// long: the sink hears nothing until the loop has run for a second, then
// the loop starts (init) and reports like every other long loop. One object
// per run of a loop, used by one thread.

#include <sys/time.h>

#include <string>

#include "core/progress.h"

namespace contour {

class DelayedProgress {
 public:
  // total: the loop's number of steps.
  DelayedProgress(ctree::ProgressSink& meter, std::string label, ctree::Size total)
      : meter_(meter), label_(std::move(label)), total_(total) {
    gettimeofday(&start_, nullptr);
  }
  // k: the number of the step just done, 0 .. total - 1.
  void update(ctree::Index k) {
    if (ended_) return;
    if (!shown_) {
      timeval now;
      gettimeofday(&now, nullptr);
      long s = long(now.tv_sec - start_.tv_sec) - (now.tv_usec < start_.tv_usec ? 1 : 0);
      if (s < 1) return;
      meter_.init(label_, total_);
      shown_ = true;
    }
    meter_.update(k);
    ended_ = k + 1 >= ctree::Index(total_);
  }
  // Ends the meter's line when the meter was shown; the loop is complete.
  void finish() {
    if (shown_ && !ended_) meter_.update(total_ > 0 ? ctree::Index(total_ - 1) : 0);
    ended_ = true;
  }
  bool shown() const { return shown_; }

 private:
  ctree::ProgressSink& meter_;
  std::string label_;
  ctree::Size total_;
  timeval start_;
  bool shown_ = false, ended_ = false;
};

}  // namespace contour
