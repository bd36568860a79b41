#pragma once
// The command line: long options only, tested in a fixed order against each
// argument by whole-string equality. Values are checked as they are read, so
// a run never starts on a number it misread.

#include <string>

namespace ctree {

struct Options {
  int swapbyte = 1;                                                  // --swapbyte: non-zero swaps raw samples
  bool has_swapbyte = false, has_datatype = false, has_dim = false;  // given on the command line
  std::string data;                                                  // --data: file name or printf template
  bool has_data = false;
  std::string datatype = "float";  // --datatype
  bool notscale = false;           // --notscale
  bool openscene = false;          // --openscene
  double aspect = 1.0;             // --aspect
  std::string var = "y";           // --var
  int spectrum = 0;                // --spectrum: samples; 0 = none requested
  std::string ct, ctl;             // --ct, --ctl; empty = none
  int dim[3] = {0, 0, 0};          // --dim
  int time[3] = {0, 0, 1};         // --time: first, last, step
  double spacing[3] = {1, 1, 1};   // --spacing: distance between vertices along x, y, z
  double origin[3] = {0, 0, 0};    // --origin: position of vertex (0, 0, 0)
  bool has_spacing = false, has_origin = false;
  std::string scene = "scene.%03d.txt";  // --scene
  bool batch = false;                    // --batch: every time step, no windows
  int threads = 0;                       // --threads: 0 = every core
  std::string snapshot;                  // --snapshot: folder of window pictures; the run ends once all are saved
  std::string povray;                    // --povray: prefix of POV-Ray scenes per step (with --batch)
  std::string regions;                   // --regions: label volume (template) per step (with --batch)
};

// Most time steps a run takes: each is a record kept for the whole run.
constexpr long long MAX_TIME_STEPS = 100000;

enum class ParseResult { Run, ExitOk, ExitError };

// Parses argv into options.
// Prints the help text for no arguments or --help (ExitOk), reports unknown
// arguments and goes on, and reports a missing --data, a missing value or a
// malformed number with a message on standard error (ExitError).
ParseResult parse_options(int argc, char** argv, Options& options);

// The help text, with the program name argv[0].
void printhelp(int argc, char** argv);

}  // namespace ctree
