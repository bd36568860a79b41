#pragma once
// The contour spectrum of the dataset: four signature functions of the
// isocontour (area, minimum and maximum volume, gradient integral) sampled
// at equally spaced isovalues for every time step, read from the cache file
// beside the data (computed and written when it is missing or unusable).
// Shown as line graphs or as a colour image over isovalue and time, with
// axes of values along the plot's edges; a click picks the isovalue and
// time step of the whole program, a right drag zooms, g switches to the
// graphs over the isovalue and back.

#include <string>
#include <utility>
#include <vector>

#include "workspace/spectrum_file.h"
#include "gui/glut_viewer.h"
#include "gui/selection_view.h"

namespace ctree {

class ContourData;

extern const int BORDERX1, BORDERX2, BORDERY1, BORDERY2;

class SpectrumWindow : public GlutViewer {
 public:
  static constexpr const char* TITLE = "Spectrum";
  // data: the spectrum shown (read from its cache file or computed), copied.
  SpectrumWindow(ContourData* contourData, const SpectrumData& data);

  static std::string getSpectrumFilename(const ContourData* contourData);

  void buildTextures();
  void validateSignature();
  void buildQuads();
  // Pointer positions are window coordinates as GLUT delivers them (rows
  // counted from the top).
  void screenToParam(int x, int y, float& iso, int& time) const;
  void screenToIndexedParam(int x, int y, int& sample, int& timeIndex) const;
  void paramToScreen(float iso, int time, int& x, int& y) const;
  void newPick(int x, int y);
  // Plot positions (drawing coordinates, y from the bottom).
  int sampleX(int s) const;
  int timeY(int i) const;
  int currentTimeIndex() const;
  int isoSample(double iso) const;
  // Signature g at isovalue iso of the current step, linear between samples;
  // 0 for "all signatures" and signatures the data lacks.
  float valueAt(float iso, int g) const;
  float value(int t, int s, int g) const {
    return values[(size_t(t) * nSamples + size_t(s)) * nSignatures + size_t(g)];
  }
  void showAll();
  float sample_isovalue_of(int s) const {
    return nSamples > 1 ? minValue + (maxValue - minValue) * float(s) / float(nSamples - 1) : minValue;
  }

  void callback_display() override;
  void callback_mouse(int button, int state, int x, int y) override;
  void callback_motion(int x, int y) override;
  void callback_keydown(unsigned char key, int x, int y) override;
  void callback_special(int, int, int) override {}
  std::string keyHelp() const override;

  ContourData* contourData;
  float minValue = 0, maxValue = 0;
  std::vector<float> values;
  int nTimes = 0, nSamples = 0, nSignatures = 0;
  unsigned textureName = 0;
  int colourMap[1024] = {};
  int textureReady = 0;
  std::vector<std::pair<float, float>> sigRange;
  struct {
    int signature = 0;
    int palette = 0;
    float value = 0;
  } actual;
  int zooming = 0;
  int firstSample = 0, sampleCount = 0, firstTime = 0, timeCount = 0;
  // The picked branch, whose value range is marked over the isovalue
  // axis (set by the main window; null for none).
  SelectionView* selection = nullptr;
  int zoomX1 = 0, zoomY1 = 0, zoomX2 = 0, zoomY2 = 0;
  bool picking = false;
  // The colour map g returns to from the graphs.
  int lastImagePalette = 0;
  // "image over isovalue and time", "graph over isovalue", ...
  const char* viewName() const;

 private:
  // Ticks and values along the plot's left and bottom edges, for what the
  // view shows there (isovalue, time step, the signature's value).
  void drawAxes();
  void load(const SpectrumData& data);
  int plotW() const { return width - BORDERX2 - BORDERX1; }
  int plotH() const { return height - BORDERY2 - BORDERY1; }
};

std::ostream& operator<<(std::ostream& out, SpectrumWindow& w);

}  // namespace ctree
