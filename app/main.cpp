// orrery: contour trees of scalar fields.
#include "app/options.h"
#include "app/startup.h"
#ifdef ORRERY_WITH_VIEWER
#include "gui/viewer_start.h"
#endif

int main(int argc, char** argv) {
  ctree::Options options;
  switch (ctree::parse_options(argc, argv, options)) {
    case ctree::ParseResult::ExitOk:
      return 0;
    case ctree::ParseResult::ExitError:
      return -1;
    case ctree::ParseResult::Run:
      break;
  }
#ifdef ORRERY_WITH_VIEWER
  return ctree::run_startup(argc, argv, options, &ctree::VIEWER);
#else
  return ctree::run_startup(argc, argv, options);
#endif
}
