// sinora-render: the pictures of both windows as PNG files, for slides and scripted checks.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "lesson_check.h"
#include "imaging/big_pages.h"
#include "imaging/point_source.h"
#include "imaging/reconstruction.h"
#include "formats/export.h"
#include "formats/formats.h"
#include "formats/interfile.h"
#include "formats/raw.h"
#include "imaging/sample_study.h"
#include "imaging/filter_analysis.h"
#include "imaging/attenuation.h"
#include "imaging/recipe.h"
#include "imaging/iterative.h"
#include "imaging/open_way.h"
#include "imaging/phantom.h"
#include "imaging/scatter.h"
#include "imaging/slices.h"
#include "platform/number.h"
#include "platform/template_dialog.h"
#include "render_ct.h"
#include "platform/tr.h"
#include "safe_output.h"
#include "windows/Figure.h"
#include "windows/PictureView.h"

namespace {

const char kUsage[] =
    "usage: sinora-render --list-lessons | --lesson ID|FILE --check [--lang ja|en]\n"
    "       sinora-render [STUDY] --out DIR [--projection K] [--slice N]\n"
    "                     [--filter ramp|shepp-logan|none] [--order TEXT] [--cutoff TEXT]\n"
    "                     [--density D] [--palette ribbon|grey|none] [--degrees TEXT]\n"
    "                     [--ps-order TEXT] [--ps-cutoff TEXT] [--values]\n"
    "                     [--scale 1-8] [--format png|svg|pdf]\n"
    "                     [--raw-header BYTES] [--raw-views V] [--raw-rows R] [--raw-bins B]\n"
    "                     [--raw-bytes 1|2|4|8] [--raw-format unsigned|signed|float]\n"
    "                     [--raw-order big|little] [--raw-arc DEG] [--raw-start DEG]\n"
    "                     [--raw-direction cw|cc] [--raw-pixel MM]\n"
    "                     [--osem SUBSETS:ITERATIONS [--volume]]\n"
    "                     [--window ramp|shepp-logan|hann|hamming|parzen|cosine|butterworth\n"
    "                      [--window-cutoff FC] [--window-order N]]\n"
    "                     [--phantom sample|shepp-logan|jaszczak|cylinder|lines|point|contrast|thorax\n"
    "                      [--ph-views N] [--ph-arc 180|360] [--ph-start DEG] [--ph-direction cw|cc]\n"
    "                      [--ph-matrix 64|128|256] [--ph-pixel MM] [--ph-counts N] [--ph-noise-free]\n"
    "                      [--ph-fwhm MM] [--ph-blur grows|constant] [--ph-radius MM] [--ph-cor PIXELS]\n"
    "                      [--ph-mu PER_CM] [--ph-point X,Y,Z] [--ph-seed N]\n"
    "                      [--ph-isotope tc99m|i123|lu177] [--ph-windows PEAK,LOWER,UPPER]\n"
    "                      [--ph-energy-resolution PCT] [--ph-scatter on|off]\n"
    "                      [--ph-collimator lehr|legp|megp|R_I,R_C0,K] [--ph-mu-map]]\n"
    "                     [--chang first|iterated] [--mu PER_CM] [--osem-attenuated]\n"
    "                     [--energy-window N] [--turn 0|90|180|270] [--mirror]\n"
    "                     [--scatter none|dew|tew] [--scatter-windows L,U]\n"
    "                     [--scatter-smooth none|FWHM] [--psf phantom|lehr|legp|megp|R_I,R_C0,K]\n"
    "                     [--radius MM]\n"
    "                     [--export dicom|interfile|nifti] [--export-projections dicom|interfile]\n"
    "                     [--ct DIR|FILE [--ct-shift X,Y,Z]]\n"
    "Writes the pictures of Sinora's two windows into DIR as PNG files (the study's at its\n"
    "own size). STUDY is the study file, Interfile or DICOM NM, recognised by content; any\n"
    "--raw-* option reads it as raw counts of that layout instead (defaults: no header,\n"
    "60 views of 128 x 128, 2-byte unsigned big-endian, 360 degrees from 0, cw).\n"
    "Without STUDY the built-in sample study is used; --phantom makes a phantom's acquisition\n"
    "instead (the phantom lab's settings; truth.png and truth.csv are the true slice). --chang\n"
    "writes chang-fbp.png, the FBP corrected for attenuation mu (default: the phantom's, else\n"
    "0.15) inside the phantom's outline or an ellipse fitted to 20 % of the FBP slice;\n"
    "--osem-attenuated puts the same attenuation into --osem's projector; --ph-mu-map takes the\n"
    "phantom's own mu map for both instead and writes it (mu.png, and mu.csv in cm^-1).\n"
    "--ct reads a CT series (a folder or one file of it) or an Interfile mu map for the study,\n"
    "writes the slice's mu map at the study's photopeak (mu.png, mu.csv, cm^-1) and the slice\n"
    "(--osem's, else FBP) over it (fused.png), and gives the map to --chang and\n"
    "--osem-attenuated; --ct-shift moves the CT by X,Y,Z mm (patient axes). --export writes\n"
    "the reconstructed volume in counts per pixel (OSEM with --osem S:I --volume, else Ramp\n"
    "FBP of every row) as volume.dcm, volume.hv + volume.v or volume.nii; --export-projections\n"
    "writes the study as projections.dcm or projections.hs + projections.s. TEXT options are\n"
    "read as the windows read their edit boxes. --scale enlarges every picture N times (pixels as\n"
    "blocks); --format svg or pdf writes them as figures instead of PNG (the slices of --osem,\n"
    "--chang, --volume and the truth with their colour bar and unit). osem, chang-fbp, truth and\n"
    "the planes are coloured continuously over 0 .. their maximum, as the windows show them.\n"
    "--energy-window N reconstructs the study's energy window N (from 1); --turn adds that many\n"
    "degrees to every view's angle and --mirror reverses the direction of rotation about the\n"
    "first view, as the opening dialog does for a study whose header misled. --scatter estimates\n"
    "the scatter in it from the windows next to it (or --scatter-windows, numbers from 1),\n"
    "smoothed by a Gaussian of FWHM pixels unless none, writes scatter.png and scatter.csv (the\n"
    "slice's row, views x bins), fbp-scatter.png (FBP of the counts less the estimate, at least\n"
    "0) and puts the estimate into --osem as an additive term. --psf adds resolution recovery\n"
    "to --osem with that collimator (phantom: the phantom's own) at the study's radius or\n"
    "--radius MM. --ph-windows are per\n"
    "cent of the photon energy; --ph-collimator replaces --ph-fwhm and --ph-blur.\n";

struct Options {
  std::string study, out;
  int projection = 0, slice = 60, density = 7;
  sinora::ReconFilter filter = sinora::ReconFilter::None;
  sinora::Palette palette = sinora::Palette::Neither;
  std::string order, cutoff, degrees, psOrder, psCutoff;
  bool values = false;
  int osemSubsets = 0, osemIterations = 0;  // --osem SUBSETS:ITERATIONS
  bool volume = false;
  bool windowed = false;  // --window NAME
  sinora::FilterWindow window = sinora::FilterWindow::Ramp;
  double windowCutoff = 0.5, windowOrder = 5;
  bool raw = false;  // any --raw-* option: STUDY is raw counts of this layout
  sinora::formats::RawLayout layout;
  bool phantom = false;  // --phantom NAME and the --ph-* settings
  sinora::PhantomSettings phantomSettings;
  int changIterations = -1;  // --chang: 0 first order, 1 iterated once
  double mu = -1;            // --mu; below 0: the phantom's, else 0.15
  bool osemAttenuated = false;
  bool phantomMuMap = false;  // --ph-mu-map
  int energyWindow = 0;  // --energy-window N: 1.., 0 the study's own
  int turn = 0;          // --turn: degrees added to every view's angle (0, 90, 180, 270)
  bool mirror = false;   // --mirror: the direction of rotation reversed about the first view
  sinora::ScatterMethod scatter = sinora::ScatterMethod::None;
  int scatterLower = 0, scatterUpper = 0;  // --scatter-windows, from 1; 0: from the energies
  double scatterSmooth = 0;
  bool psf = false;
  bool psfFromPhantom = false;  // --psf phantom: the collimator the phantom was acquired with
  sinora::Collimator collimator;
  double radius = 0;
  std::string exportVolume, exportProjections;  // --export, --export-projections
};

sinora::ctrender::CtRequest ctRequest;  // --ct, --ct-shift

bool parseInt(const std::string& text, long min, long max, int& out);
bool parseReal(const std::string& text, double min, double max, double& out);

// One --ph-* option; false with `why` when its value is wrong (ranges are checked later, all
// at once, as the phantom lab does).
bool phantomOption(const std::string& name, const std::string& v, sinora::PhantomSettings& s,
                   std::string& why) {
  auto real = [&](double& out) {
    if (!parseReal(v, -1e300, 1e300, out)) return why = name + " takes a number", false;
    return true;
  };
  double d = 0;
  if (name == "--ph-views") {
    if (!parseInt(v, -100000, 100000, s.views)) return why = "--ph-views takes a whole number", false;
  } else if (name == "--ph-arc") {
    if (!real(s.arcDegrees)) return false;
  } else if (name == "--ph-start") {
    if (!real(s.startDegrees)) return false;
  } else if (name == "--ph-direction") {
    if (v == "cw") s.clockwise = true;
    else if (v == "cc") s.clockwise = false;
    else return why = "--ph-direction takes cw or cc", false;
  } else if (name == "--ph-matrix") {
    if (!parseInt(v, -100000, 100000, s.matrix)) return why = "--ph-matrix takes 64, 128 or 256", false;
  } else if (name == "--ph-pixel") {
    if (!real(s.pixelMm)) return false;
  } else if (name == "--ph-counts") {
    if (!real(s.counts)) return false;
  } else if (name == "--ph-fwhm") {
    if (!real(s.fwhmMm)) return false;
  } else if (name == "--ph-blur") {
    if (v == "grows") s.blurGrows = true;
    else if (v == "constant") s.blurGrows = false;
    else return why = "--ph-blur takes grows or constant", false;
  } else if (name == "--ph-radius") {
    if (!real(s.radiusMm)) return false;
  } else if (name == "--ph-cor") {
    if (!real(s.corPixels)) return false;
  } else if (name == "--ph-mu") {
    if (!real(s.muPerCm)) return false;
  } else if (name == "--ph-point") {
    double p[3];
    char tail = 0;
    if (std::sscanf(v.c_str(), "%lf,%lf,%lf%c", &p[0], &p[1], &p[2], &tail) != 3)
      return why = "--ph-point takes X,Y,Z in mm", false;
    for (int i = 0; i < 3; ++i) s.pointMm[i] = p[i];
  } else if (name == "--ph-isotope") {
    if (!sinora::isotopeFromKey(v)) return why = "--ph-isotope takes tc99m, i123 or lu177", false;
    s.isotope = v;
  } else if (name == "--ph-windows") {
    double w[3];
    std::size_t at = 0;
    for (int n = 0; n < 3; ++n) {
      const std::size_t comma = v.find(',', at);
      if ((n < 2) != (comma != std::string::npos) ||
          !parseReal(v.substr(at, n < 2 ? comma - at : std::string::npos), -1e9, 1e9, w[n]))
        return why = "--ph-windows takes PEAK,LOWER,UPPER in per cent", false;
      at = comma + 1;
    }
    s.peakPercent = w[0];
    s.lowerPercent = w[1];
    s.upperPercent = w[2];
  } else if (name == "--ph-energy-resolution") {
    if (!real(s.energyResolutionPercent)) return false;
  } else if (name == "--ph-scatter") {
    if (v == "on") s.scatter = true;
    else if (v == "off") s.scatter = false;
    else return why = "--ph-scatter takes on or off", false;
  } else if (name == "--ph-collimator") {
    std::string error;
    if (!sinora::parseCollimator(v, s.collimator, error)) return why = "--ph-collimator: " + error, false;
    s.realCollimator = true;
  } else if (name == "--ph-seed") {
    if (!parseReal(v, 0, 1.8e19, d) || d != std::floor(d)) return why = "--ph-seed takes a whole number from 0", false;
    s.seed = std::uint64_t(d);
  } else {
    return why = "unknown option " + name, false;
  }
  return true;
}

bool parseInt(const std::string& text, long min, long max, int& out);

bool parseReal(const std::string& text, double min, double max, double& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(v >= min && v <= max)) return false;
  out = v;
  return true;
}

// One --raw-* option; false with `why` when its value is wrong.
bool rawOption(const std::string& name, const std::string& v, sinora::formats::RawLayout& l,
               std::string& why) {
  using sinora::formats::NumberFormat;
  int n = 0;
  double d = 0;
  if (name == "--raw-header") {
    if (!parseReal(v, 0, 1e12, d) || d != std::floor(d)) return why = "--raw-header takes a byte count", false;
    l.headerBytes = std::uint64_t(d);
  } else if (name == "--raw-views") {
    if (!parseInt(v, 1, sinora::kMaxViews, n)) return why = "--raw-views takes 1 to 1024", false;
    l.views = n;
  } else if (name == "--raw-rows") {
    if (!parseInt(v, 1, sinora::kMaxRowsOrBins, n)) return why = "--raw-rows takes 1 to 512", false;
    l.rows = n;
  } else if (name == "--raw-bins") {
    if (!parseInt(v, 1, sinora::kMaxRowsOrBins, n)) return why = "--raw-bins takes 1 to 512", false;
    l.bins = n;
  } else if (name == "--raw-bytes") {
    if (!parseInt(v, 1, 8, n) || (n != 1 && n != 2 && n != 4 && n != 8))
      return why = "--raw-bytes takes 1, 2, 4 or 8", false;
    l.bytesPerCount = n;
  } else if (name == "--raw-format") {
    if (v == "unsigned") l.format = NumberFormat::Unsigned;
    else if (v == "signed") l.format = NumberFormat::Signed;
    else if (v == "float") l.format = NumberFormat::Float;
    else return why = "--raw-format takes unsigned, signed or float", false;
  } else if (name == "--raw-order") {
    if (v == "big") l.bigEndian = true;
    else if (v == "little") l.bigEndian = false;
    else return why = "--raw-order takes big or little", false;
  } else if (name == "--raw-arc") {
    if (!parseReal(v, 1e-9, 360, d)) return why = "--raw-arc takes degrees above 0, up to 360", false;
    l.arcDegrees = d;
  } else if (name == "--raw-start") {
    if (!parseReal(v, -1e6, 1e6, d)) return why = "--raw-start takes degrees", false;
    l.startDegrees = d;
  } else if (name == "--raw-direction") {
    if (v == "cw") l.clockwise = true;
    else if (v == "cc") l.clockwise = false;
    else return why = "--raw-direction takes cw or cc", false;
  } else if (name == "--raw-pixel") {
    if (!parseReal(v, 0, 1e6, d)) return why = "--raw-pixel takes millimetres", false;
    l.pixelSizeMm = d;
  } else {
    return why = "unknown option " + name, false;
  }
  return true;
}

bool parseInt(const std::string& text, long min, long max, int& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  out = static_cast<int>(v);
  return true;
}

// The core's and the readers' messages are written in Japanese; this tool speaks English.
std::string english(const std::string& message) { return sinora::TE(message).toStdString(); }

int usageError(const std::string& message) {
  std::fprintf(stderr, "sinora-render: %s\n%s", english(message).c_str(), kUsage);
  return 2;
}

// One output file: its name and its whole content, made before anything is written.
struct Output {
  std::string name;
  std::string bytes;
};

// How pictures are written: PNG at `scale` times their size (nearest neighbour), or SVG or PDF
// figures (the continuous pictures with their colour bar and unit).
struct PictureStyle {
  int scale = 1;
  FigureFormat format = FigureFormat::Png;
};
PictureStyle gStyle;

// A picture alone as a figure (the windows' integer mapping has no window to put on a bar).
struct PlainFigure : FigureSource {
  QImage image;
  QSize figureSize() const override { return image.size() * std::max(1, 128 / std::max(1, image.width())); }
  void paintFigure(QPainter& p, bool) const override {
    p.drawImage(QRect(QPoint(0, 0), figureSize()), image.scaled(figureSize(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
  }
  QString figureName() const override { return QStringLiteral("picture"); }
};

void addImageFile(std::vector<Output>& out, const std::string& name, const QImage& image,
                  const PictureFigure* figure) {
  if (gStyle.format == FigureFormat::Png) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.scaled(image.size() * gStyle.scale, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .convertToFormat(QImage::Format_RGB888)
        .save(&buffer, "PNG");
    out.push_back({name + ".png", png.toStdString()});
    return;
  }
  FigureOptions o;
  o.format = gStyle.format;
  o.scale = gStyle.scale;
  PlainFigure plain;
  plain.image = image;
  const QByteArray bytes = figureBytes(figure ? static_cast<const FigureSource&>(*figure) : plain, o);
  out.push_back({name + (gStyle.format == FigureFormat::Svg ? ".svg" : ".pdf"), bytes.toStdString()});
}

std::string csvBytes(const sinora::DisplayImage& image) {
  std::ostringstream csv;
  for (int y = 0; y < sinora::kSize; ++y)
    for (int x = 0; x < sinora::kSize; ++x)
      csv << image.at(x, y) << (x + 1 < sinora::kSize ? ',' : '\n');
  return csv.str();
}

void addPicture(std::vector<Output>& out, const std::string& name, const sinora::Picture& picture,
                sinora::Palette palette, bool values) {
  const std::vector<std::uint32_t> rgb = sinora::renderPicture(picture, palette);
  const QImage image(reinterpret_cast<const uchar*>(rgb.data()), picture.width, picture.height,
                     picture.width * 4, QImage::Format_RGB32);
  addImageFile(out, name, image, nullptr);
  if (!values) return;
  std::ostringstream csv;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      csv << picture.at(x, y) << (x + 1 < picture.width ? ',' : '\n');
  out.push_back({name + ".csv", csv.str()});
}

// Values of a picture in double precision, 17 digits.
std::string valuesCsv(const std::vector<double>& f, int w, int h) {
  std::ostringstream csv;
  csv << std::setprecision(17);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) csv << f[std::size_t(y) * w + x] << (x + 1 < w ? ',' : '\n');
  return csv.str();
}

// A picture of values laid out [y * w + x] as the picture view shows it: the values as they are
// over 0 .. their maximum (or their minimum when below 0), continuously coloured.
void addValues(std::vector<Output>& out, const std::string& name, const std::vector<double>& v,
               int w, int h, sinora::Palette palette, bool values, ValueUnit unit) {
  PictureValues p;
  p.width = w;
  p.height = h;
  p.values = v;
  p.unit = unit;
  PictureFigure figure;
  figure.window = defaultWindow(p);
  figure.map = palette == sinora::Palette::BlackWhite ? sinora::ColourMap::Grey : sinora::ColourMap::Ribbon;
  const std::vector<std::uint32_t> rgb = sinora::mapValues(v, figure.window, figure.map);
  figure.image = sinora::toQImage(rgb.data(), w, h);
  figure.caption = QString::fromStdString(name);
  figure.unit = unitText(unit);
  addImageFile(out, name, figure.image, &figure);
  if (values) out.push_back({name + ".csv", valuesCsv(v, w, h)});
}

void addSlice(std::vector<Output>& out, const std::string& name, const std::vector<double>& f,
              int b, sinora::Palette palette, bool values, ValueUnit unit = ValueUnit::CountsPerPixel) {
  std::vector<double> screen(f.size());  // i across
  for (int x = 0; x < b; ++x)
    for (int y = 0; y < b; ++y) screen[std::size_t(y) * b + x] = f[std::size_t(x) * b + y];
  addValues(out, name, screen, b, b, palette, values, unit);
}

// The central transverse, coronal and sagittal planes of a volume [row][i * B + j].
void addPlanes(std::vector<Output>& out, const std::string& name,
               const std::vector<std::vector<double>>& volume, int b, sinora::Palette palette,
               bool values, ValueUnit unit) {
  const int rows = int(volume.size()), c = b / 2;
  addSlice(out, name + "-transverse", volume[std::size_t(rows / 2)], b, palette, values, unit);
  std::vector<double> coronal(std::size_t(rows) * b), sagittal(std::size_t(rows) * b);
  for (int r = 0; r < rows; ++r)
    for (int x = 0; x < b; ++x) {
      coronal[std::size_t(r) * b + x] = volume[std::size_t(r)][std::size_t(x) * b + c];
      sagittal[std::size_t(r) * b + x] = volume[std::size_t(r)][std::size_t(c) * b + x];
    }
  addValues(out, name + "-coronal", coronal, b, rows, palette, values, unit);
  addValues(out, name + "-sagittal", sagittal, b, rows, palette, values, unit);
}

void addImage(std::vector<Output>& out, const std::string& name, const sinora::DisplayImage& image,
              sinora::Palette palette, bool values) {
  const sinora::RgbImage rgb = sinora::render(image, palette);
  addImageFile(out, name, sinora::toQImage(rgb.data(), sinora::kSize, sinora::kSize), nullptr);
  if (values) out.push_back({name + ".csv", csvBytes(image)});
}

}  // namespace

int main(int argc, char** argv) {
  sinora::keepFreedMemory();
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (int status = 0; runLessonCommand(args, status)) return status;  // lesson_check.cpp
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // An option's value is the next argument, unless that is itself an option name.
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--osem") {
      if (!value(v)) return usageError("--osem takes SUBSETS:ITERATIONS");
      const std::size_t at = v.find(':');
      if (at == std::string::npos || !parseInt(v.substr(0, at), 1, sinora::kMaxViews, o.osemSubsets) ||
          !parseInt(v.substr(at + 1), 1, 100, o.osemIterations))
        return usageError("--osem takes SUBSETS:ITERATIONS (subsets dividing the views, 1 to 100 iterations)");
    } else if (a == "--window") {
      if (!value(v) || !sinora::windowFromName(v, &o.window))
        return usageError("--window takes ramp, shepp-logan, hann, hamming, parzen, cosine or butterworth");
      o.windowed = true;
    } else if (a == "--window-cutoff") {
      if (!value(v) || !parseReal(v, -1e9, 1e9, o.windowCutoff))
        return usageError("--window-cutoff takes cycles/pixel above 0, up to 0.5");
    } else if (a == "--window-order") {
      if (!value(v) || !parseReal(v, -1e9, 1e9, o.windowOrder))
        return usageError("--window-order takes a number");
    } else if (a == "--scale") {
      if (!value(v) || !parseInt(v, 1, 8, gStyle.scale)) return usageError("--scale takes 1 to 8");
    } else if (a == "--format") {
      if (!value(v)) return usageError("--format takes png, svg or pdf");
      if (v == "png") gStyle.format = FigureFormat::Png;
      else if (v == "svg") gStyle.format = FigureFormat::Svg;
      else if (v == "pdf") gStyle.format = FigureFormat::Pdf;
      else return usageError("--format takes png, svg or pdf");
    } else if (a == "--volume") {
      o.volume = true;
    } else if (a == "--values") {
      o.values = true;
    } else if (a == "--out") {
      if (!value(o.out) || o.out.empty()) return usageError("--out needs a folder");
    } else if (a == "--projection") {
      if (!value(v) || !parseInt(v, 0, sinora::kMaxViews - 1, o.projection))
        return usageError("--projection takes a whole number from 0 to the views less one");
    } else if (a == "--slice") {
      if (!value(v) || !parseInt(v, -2147483647L - 1, 2147483647L, o.slice))
        return usageError("--slice takes a whole number");
    } else if (a == "--density") {
      if (!value(v) || !parseInt(v, 0, 255, o.density))
        return usageError("--density takes a whole number from 0 to 255");
    } else if (a == "--filter") {
      if (!value(v)) return usageError("--filter takes ramp, shepp-logan or none");
      if (v == "ramp") o.filter = sinora::ReconFilter::Ramp;
      else if (v == "shepp-logan") o.filter = sinora::ReconFilter::SheppLogan;
      else if (v == "none") o.filter = sinora::ReconFilter::None;
      else return usageError("--filter takes ramp, shepp-logan or none");
    } else if (a == "--palette") {
      if (!value(v)) return usageError("--palette takes ribbon, grey or none");
      if (v == "ribbon") o.palette = sinora::Palette::Ribbon;
      else if (v == "grey") o.palette = sinora::Palette::BlackWhite;
      else if (v == "none") o.palette = sinora::Palette::Neither;
      else return usageError("--palette takes ribbon, grey or none");
    } else if (a == "--order") {
      if (!value(o.order)) return usageError("--order needs a text");
    } else if (a == "--cutoff") {
      if (!value(o.cutoff)) return usageError("--cutoff needs a text");
    } else if (a == "--degrees") {
      if (!value(o.degrees)) return usageError("--degrees needs a text");
    } else if (a == "--ps-order") {
      if (!value(o.psOrder)) return usageError("--ps-order needs a text");
    } else if (a == "--ps-cutoff") {
      if (!value(o.psCutoff)) return usageError("--ps-cutoff needs a text");
    } else if (a == "--phantom") {
      if (!value(v) || !sinora::phantomFromKey(v, o.phantomSettings.kind))
        return usageError("--phantom takes sample, shepp-logan, jaszczak, cylinder, lines, point, contrast or thorax");
      o.phantom = true;
    } else if (a == "--ph-noise-free") {
      o.phantomSettings.noiseFree = true;
    } else if (a == "--ph-mu-map") {
      o.phantomMuMap = true;
    } else if (a.rfind("--ph-", 0) == 0) {
      if (!value(v)) return usageError(a + " needs a value");
      std::string why;
      if (!phantomOption(a, v, o.phantomSettings, why)) return usageError(why);
    } else if (a == "--chang") {
      if (!value(v) || (v != "first" && v != "iterated")) return usageError("--chang takes first or iterated");
      o.changIterations = v == "first" ? 0 : 1;
    } else if (a == "--mu") {
      if (!value(v) || !parseReal(v, 0, 2, o.mu)) return usageError("--mu takes 0 to 2 (per cm)");
    } else if (a == "--export") {
      if (!value(o.exportVolume) ||
          (o.exportVolume != "dicom" && o.exportVolume != "interfile" && o.exportVolume != "nifti"))
        return usageError("--export takes dicom, interfile or nifti");
    } else if (a == "--export-projections") {
      if (!value(o.exportProjections) ||
          (o.exportProjections != "dicom" && o.exportProjections != "interfile"))
        return usageError("--export-projections takes dicom or interfile");
    } else if (a == "--osem-attenuated") {
      o.osemAttenuated = true;
    } else if (a == "--ct" || a == "--ct-shift") {
      std::string why;
      if (!value(v) || !sinora::ctrender::parseCtOption(a, v, ctRequest, why))
        return usageError(why.empty() ? a + " needs a value" : why);
    } else if (a == "--turn") {
      if (!value(v) || !parseInt(v, 0, 270, o.turn) || !sinora::validTurn(o.turn))
        return usageError("--turn takes 0, 90, 180 or 270");
    } else if (a == "--mirror") {
      o.mirror = true;
    } else if (a == "--energy-window") {
      if (!value(v) || !parseInt(v, 1, 64, o.energyWindow)) return usageError("--energy-window takes a window number from 1");
    } else if (a == "--scatter") {
      if (!value(v) || !sinora::scatterMethodFromKey(v, o.scatter)) return usageError("--scatter takes none, dew or tew");
    } else if (a == "--scatter-windows") {
      const std::size_t comma = value(v) ? v.find(',') : std::string::npos;
      if (comma == std::string::npos || !parseInt(v.substr(0, comma), 1, 64, o.scatterLower) ||
          !parseInt(v.substr(comma + 1), 0, 64, o.scatterUpper))
        return usageError("--scatter-windows takes LOWER,UPPER window numbers (UPPER 0: none)");
      if (o.scatterUpper == 0) o.scatterUpper = -2;  // none above
    } else if (a == "--scatter-smooth") {
      if (!value(v)) return usageError("--scatter-smooth takes none or a FWHM in pixels");
      if (v == "none") o.scatterSmooth = 0;
      else if (!parseReal(v, 0, 100, o.scatterSmooth)) return usageError("--scatter-smooth takes none or a FWHM of 0 to 100 pixels");
    } else if (a == "--psf") {
      std::string error;
      if (!value(v)) return usageError("--psf takes phantom, lehr, legp, megp or R_I,R_C0,K");
      o.psfFromPhantom = v == "phantom";
      if (!o.psfFromPhantom && !sinora::parseCollimator(v, o.collimator, error)) return usageError("--psf: " + error);
      o.psf = true;
    } else if (a == "--radius") {
      if (!value(v) || !parseReal(v, 1, 1000, o.radius)) return usageError("--radius takes 1 to 1000 mm");
    } else if (a.rfind("--raw-", 0) == 0) {
      std::string why;
      if (!value(v)) return usageError(a + " needs a value");
      if (!rawOption(a, v, o.layout, why)) return usageError(why);
      o.raw = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return usageError("unknown option " + a);
    } else if (o.study.empty()) {
      o.study = a;
    } else {
      return usageError("only one study file can be given");
    }
  }
  if (o.out.empty()) return usageError("--out DIR is required");
  // Figures draw text: fonts need an application (the offscreen platform: no display is used).
  std::unique_ptr<QGuiApplication> gui;
  if (gStyle.format != FigureFormat::Png) {
    // Qt's notes about the session (a missing runtime folder) are no concern of this tool.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& m) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "sinora-render: %s\n", qPrintable(m));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int guiArgc = 1;
    static char name[] = "sinora-render";
    static char* guiArgv[] = {name, nullptr};
    gui = std::make_unique<QGuiApplication>(guiArgc, guiArgv);
  }
  if (o.raw && o.study.empty()) return usageError("--raw-* options need a STUDY to read");

  if (o.phantom && !o.study.empty()) return usageError("--phantom makes the study: give no STUDY with it");
  sinora::StudyPtr study;
  std::vector<std::string> studyFiles{o.study};  // the header and every file it names
  if (o.phantom) {
    if (const auto problems = sinora::checkPhantom(o.phantomSettings); !problems.empty())
      return usageError(problems.front().field + ": " + problems.front().message);
    const sinora::PhantomResult made = sinora::makePhantomStudy(o.phantomSettings, 2);
    if (!made.study) {
      std::fprintf(stderr, "sinora-render: %s\n", english(made.error).c_str());
      return 1;
    }
    study = made.study;
  } else if (o.study.empty()) {
    study = sinora::sampleStudy();
  } else {
    if (o.raw) {
      if (const std::string why = sinora::formats::checkLayout(o.layout); !why.empty())
        return usageError(why);
    }
    const sinora::StudyReadResult read = o.raw ? sinora::formats::readRaw(o.study, o.layout)
                                               : sinora::formats::readAnyStudy(o.study);
    if (!read.study) {
      std::fprintf(stderr, "sinora-render: %s: %s\n", o.study.c_str(), english(read.error).c_str());
      return 1;
    }
    study = read.study;
    studyFiles = read.files;
    for (const std::string& note : study->geometry().notes)
      std::fprintf(stderr, "sinora-render: %s\n", english(note).c_str());
  }
  if (o.energyWindow > 0) {
    const sinora::StudyPtr chosen = sinora::withEnergyWindow(*study, o.energyWindow - 1);
    const auto& set = study->geometry().energyWindows;
    if (!chosen)
      return usageError("--energy-window: this study has " + std::to_string(set ? set->windows.size() : 1) +
                        " energy window(s)");
    study = chosen;
  }
  // As the opening dialog turns or mirrors a study whose header misled.
  if (o.turn != 0 || o.mirror) study = sinora::openedWay(study, {o.turn, o.mirror, -1});
  // Which window of a file is reconstructed is worth a line where there was a choice; a phantom's
  // photopeak is the one asked for.
  const auto& windowSet = study->geometry().energyWindows;
  if (const sinora::EnergyWindow* w = sinora::currentEnergyWindow(*study);
      w && (o.energyWindow > 0 || (!o.phantom && windowSet && windowSet->windows.size() > 1)))
    std::fprintf(stderr, "sinora-render: energy window %d: %s\n", study->geometry().energyWindow + 1,
                 sinora::windowLabel(*w).c_str());
  if (o.projection >= study->views())
    return usageError("--projection takes a whole number from 0 to " +
                      std::to_string(study->views() - 1) + " for this study");
  // As the reconstruction window: the pre-filter parameters pass the 0.01 test when read.
  const sinora::BwParameters bw =
      sinora::checkedBwParameters(sinora::readNumber(o.order), sinora::readNumber(o.cutoff));
  const int step = sinora::viewStep(sinora::readNumber(o.degrees));
  const double psOrder = sinora::readNumber(o.psOrder), psCutoff = sinora::readNumber(o.psCutoff);
  std::vector<Output> outputs;
  // The study's pictures at their own size (B x R projections, B x B slices).
  addPicture(outputs, "projection", sinora::projectionPicture(*study, o.projection, o.density),
             o.palette, o.values);
  addPicture(outputs, "smoothed", sinora::smoothedPicture(*study, o.projection, bw, o.density),
             o.palette, o.values);
  addPicture(outputs, "backprojection", sinora::backprojectionPicture(*study, o.slice, o.density),
             o.palette, o.values);
  addPicture(outputs, "fbp", sinora::filteredPicture(*study, o.slice, o.filter, o.density),
             o.palette, o.values);
  addPicture(outputs, "prefiltered-fbp",
             sinora::prefilteredPicture(*study, o.slice, o.filter, bw, o.density), o.palette,
             o.values);
  addImage(outputs, "ps-backprojection", sinora::pointSourceBackprojection(step), o.palette,
           o.values);
  addImage(outputs, "ps-ramp", sinora::pointSourceRamp(step), o.palette, o.values);
  addImage(outputs, "ps-bw-ramp", sinora::pointSourceBwRamp(step, psOrder, psCutoff), o.palette,
           o.values);

  std::ostringstream csv;
  csv << "i,profile,ramp,bw_ramp\n" << std::setprecision(17);
  const sinora::Curve& profile = sinora::graphProfile();
  const sinora::Curve ramp = sinora::rampCurve();
  const auto bwRamp = sinora::bwRampCurve(psOrder, psCutoff);
  for (int i = 0; i < 64; ++i) {
    csv << i << ',' << profile[i] << ',' << ramp[i] << ',';
    if (bwRamp) csv << (*bwRamp)[i];
    csv << '\n';
  }
  outputs.push_back({"profile.csv", csv.str()});

  // The windowed reconstruction, the slice's sinogram and every filter's response.
  if (o.windowed) {
    if (const std::string why = sinora::checkWindowSettings(o.window, o.windowCutoff, o.windowOrder); !why.empty())
      return usageError(why);
    const int b = study->bins(), row = sinora::sliceRowOf(o.slice, study->rows());
    const std::vector<double> kernel = sinora::windowedKernel(o.window, o.windowCutoff, o.windowOrder, b);
    addPicture(outputs, "windowed-fbp", sinora::windowedPicture(*study, row, kernel, o.density), o.palette, o.values);
    addPicture(outputs, "sinogram", sinora::sinogramPicture(*study, row, o.density), o.palette, o.values);
    const std::vector<double> f = sinora::frequencies(129);
    const auto ramp = sinora::kernelResponse(sinora::reconKernelFor(sinora::ReconFilter::Ramp, b), f);
    const auto shepp = sinora::kernelResponse(sinora::reconKernelFor(sinora::ReconFilter::SheppLogan, b), f);
    const auto ninetap = sinora::ninetapResponse(sinora::butterworthKernelFor(bw.order, bw.cutoff, b), f);
    const auto chosen = sinora::kernelResponse(kernel, f);
    std::ostringstream r;
    r << std::setprecision(17)
      << "f,ramp_dft,ideal_ramp,shepp_logan_dft,ideal_shepp_logan,bw_nominal,bw_ninetap,bw_ninetap_x_ramp,"
      << sinora::windowName(o.window) << "_window_dft\n";
    for (std::size_t i = 0; i < f.size(); ++i)
      r << f[i] << ',' << ramp[i] << ',' << sinora::idealRamp(f[i]) << ',' << shepp[i] << ','
        << sinora::idealSheppLogan(f[i]) << ',' << 1 / (1 + std::pow(f[i] / bw.cutoff, bw.order)) << ','
        << ninetap[i] << ',' << ninetap[i] * ramp[i] << ',' << chosen[i] << '\n';
    outputs.push_back({"responses.csv", r.str()});
  }

  // A phantom's true slice, and the attenuation-corrected pictures.
  const int sliceRow = sinora::sliceRowOf(o.slice, study->rows());
  if (const sinora::PhantomInfo* info = sinora::phantomInfo(*study)) {
    // The true activities (per mm^3) as they are, picture and CSV.
    const std::vector<float>& t = info->truth[std::size_t(sliceRow)];
    const int b = study->bins();
    std::vector<double> screen(t.size());
    addSlice(outputs, "truth", std::vector<double>(t.begin(), t.end()), b, o.palette, false, ValueUnit::ActivityPerMm3);
    for (int x = 0; x < b; ++x)
      for (int y = 0; y < b; ++y) screen[std::size_t(y) * b + x] = t[std::size_t(x) * b + y];
    outputs.push_back({"truth.csv", valuesCsv(screen, b, b)});
  }
  // The corrected and iterative reconstructions, each from one recipe.
  sinora::Recipe base;
  if (o.changIterations >= 0 || o.osemAttenuated) {
    const double pixel = study->geometry().pixelSizeMm;
    if (!(pixel > 0)) return usageError("--chang and --osem-attenuated need a study whose pixel size is known");
    const sinora::PhantomInfo* info = sinora::phantomInfo(*study);
    base.muPerCm = o.mu >= 0 ? o.mu : info && info->settings.muPerCm > 0 ? info->settings.muPerCm : 0.15;
  }
  // A CT's mu map, for the corrections that model attenuation.
  sinora::ctrender::CtRendering ct;
  if (ctRequest.given()) {
    ct = sinora::ctrender::readCtFor(ctRequest, *study, sliceRow);
    if (!ct.error.empty()) {
      std::fprintf(stderr, "sinora-render: %s: %s\n", ctRequest.path.c_str(), english(ct.error).c_str());
      return 1;
    }
    for (const std::string& n : ct.notes) std::fprintf(stderr, "sinora-render: %s\n", english(n).c_str());
    addValues(outputs, "mu", ct.muSlice, study->bins(), study->bins(), sinora::Palette::BlackWhite, false, ValueUnit::PerCm);
    outputs.push_back({"mu.csv", ct.muCsv});
  }
  base.filter = o.filter == sinora::ReconFilter::SheppLogan ? sinora::FilterWindow::SheppLogan : sinora::FilterWindow::Ramp;
  base.outline = sinora::OutlineSource::PhantomElseThreshold;
  base.threshold = 0.2;
  if (o.phantomMuMap) {
    const sinora::PhantomInfo* info = sinora::phantomInfo(*study);
    if (!info || info->mu.empty()) return usageError("--ph-mu-map needs --phantom with attenuation (--ph-mu above 0)");
    base.muMap = sinora::phantomMuMap(*info);
    const std::vector<float>& mu = info->mu[std::size_t(sliceRow)];
    addSlice(outputs, "mu", std::vector<double>(mu.begin(), mu.end()), study->bins(), o.palette, true, ValueUnit::PerCm);
  }
  if (ctRequest.given()) {
    if (o.phantomMuMap) return usageError("--ct and --ph-mu-map are two mu maps: give one");
    base.muMap = ct.map.perCm;  // used by the corrections that model attenuation
  }
  auto run = [&](const sinora::Recipe& r, std::vector<double>& values) {
    const sinora::RecipeSlice s = sinora::runRecipe(*study, r, sliceRow, 2, nullptr, false);
    if (!s.ok()) {
      if (s.refusal.find("輪郭") != std::string::npos)
        std::fprintf(stderr, "sinora-render: slice %d has no outline to attenuate in\n", sliceRow);
      else
        std::fprintf(stderr, "sinora-render: %s\n", english(s.refusal).c_str());
      return false;
    }
    values = s.values;
    return true;
  };
  if (o.changIterations >= 0) {
    sinora::Recipe r = base;
    r.chang = o.changIterations == 0 ? sinora::ChangCorrection::FirstOrder : sinora::ChangCorrection::Iterated;
    std::vector<double> values;
    if (!run(r, values)) return 1;
    addSlice(outputs, "chang-fbp", values, study->bins(), o.palette, o.values);
  }

  // The iterative slice, and the volumes' three central planes.
  const bool iterative = o.osemSubsets > 0;
  if ((iterative || o.volume) && o.osemSubsets > 0 && study->views() % o.osemSubsets != 0)
    return usageError("--osem: " + std::to_string(o.osemSubsets) + " subsets do not divide the " +
                      std::to_string(study->views()) + " views");
  if (o.volume && !iterative) return usageError("--volume needs --osem SUBSETS:ITERATIONS");
  if (const std::uint64_t need = sinora::volumeMemoryBytes(*study); o.volume && need > sinora::kVolumeMemoryLimit) {
    std::fprintf(stderr, "sinora-render: --volume would need about %llu MB of memory, more than the limit of %llu MB; nothing was written\n",
                 static_cast<unsigned long long>((need + (1u << 20) - 1) >> 20),
                 static_cast<unsigned long long>(sinora::kVolumeMemoryLimit >> 20));
    return 1;
  }
  if (o.osemAttenuated && !iterative) return usageError("--osem-attenuated needs --osem SUBSETS:ITERATIONS");
  // Scatter: the estimate of the slice's row, FBP of the counts less it, and --osem's term.
  if (o.scatter != sinora::ScatterMethod::None) {
    const sinora::ScatterEstimate e = sinora::estimateScatter(*study, o.scatter, o.scatterLower - 1,
                                                              o.scatterUpper > 0 ? o.scatterUpper - 1 : o.scatterUpper == -2 ? -2 : -1,
                                                              0.5, o.scatterSmooth);
    if (!e.ok()) {
      std::fprintf(stderr, "sinora-render: %s\n", english(e.refusal).c_str());
      return 1;
    }
    const int b = study->bins(), v = study->views();
    std::vector<double> sinogram(std::size_t(v) * b);
    for (int k = 0; k < v; ++k)
      for (int c = 0; c < b; ++c)
        sinogram[std::size_t(k) * b + c] = e.values[(std::size_t(k) * study->rows() + sliceRow) * b + c];
    addValues(outputs, "scatter", sinogram, b, v, o.palette, false, ValueUnit::Counts);
    outputs.push_back({"scatter.csv", valuesCsv(sinogram, b, v)});
    base.scatter = o.scatter;
    base.scatterLower = e.lower;
    base.scatterUpper = e.upper >= 0 ? e.upper : -2;
    base.scatterSmoothFwhm = o.scatterSmooth;
    std::vector<double> values;
    if (!run(base, values)) return 1;
    addSlice(outputs, "fbp-scatter", values, b, o.palette, o.values);
  }
  if (o.psf && !iterative) return usageError("--psf needs --osem SUBSETS:ITERATIONS");
  sinora::Recipe osemRecipe = base;
  if (o.psfFromPhantom) {
    const sinora::PhantomInfo* info = sinora::phantomInfo(*study);
    if (!info) return usageError("--psf phantom needs --phantom");
    o.collimator = info->settings.effectiveCollimator();
  }
  osemRecipe.resolutionRecovery = o.psf;
  osemRecipe.collimator = o.collimator;
  osemRecipe.radiusMm = o.radius;
  osemRecipe.method = sinora::RecipeMethod::Osem;
  osemRecipe.subsets = o.osemSubsets;
  osemRecipe.iterations = o.osemIterations;
  osemRecipe.attenuatedProjector = o.osemAttenuated;
  std::vector<double> shown;  // the slice fused.png lays over the CT
  if (iterative) {
    std::vector<double> values;
    if (!run(osemRecipe, values)) return 1;
    addSlice(outputs, "osem", values, study->bins(), o.palette, o.values);
    shown = values;
  }
  if (ctRequest.given()) {
    if (shown.empty() && !run(sinora::Recipe(base), shown)) return 1;
    addImageFile(outputs, "fused", sinora::ctrender::fusedSlice(ct, shown, sliceRow), nullptr);
  }
  std::vector<std::vector<double>> osemSlices;
  if (o.volume) {
    sinora::Recipe fbpRecipe = base;
    fbpRecipe.attenuatedProjector = false;
    osemRecipe.attenuatedProjector = false;  // the volumes as the window's 全スライス without corrections
    // Resolution recovery and scatter hold more than the plain volumes checked above.
    if (const std::uint64_t need = sinora::recipeVolumeMemoryBytes(*study, osemRecipe); need > sinora::kVolumeMemoryLimit) {
      std::fprintf(stderr, "sinora-render: --volume would need about %llu MB of memory, more than the limit of %llu MB; nothing was written\n",
                   static_cast<unsigned long long>((need + (1u << 20) - 1) >> 20),
                   static_cast<unsigned long long>(sinora::kVolumeMemoryLimit >> 20));
      return 1;
    }
    const auto fbp = sinora::runRecipeVolume(*study, fbpRecipe, 2, nullptr);
    auto os = sinora::runRecipeVolume(*study, osemRecipe, 2, nullptr);
    addPlanes(outputs, "fbp-volume", fbp.slices, study->bins(), o.palette, o.values, fbp.unit);
    addPlanes(outputs, "osem-volume", os.slices, study->bins(), o.palette, o.values, os.unit);
    osemSlices = std::move(os.slices);
  }

  // Exports for other programs, in counts per pixel.
  auto exported = [&](const sinora::formats::ExportResult& r) {
    if (r.files.empty()) return false;
    for (const sinora::formats::ExportFile& f : r.files) outputs.push_back({f.name, f.bytes});
    return true;
  };
  if (!o.exportVolume.empty()) {
    sinora::formats::VolumeData v;
    v.bins = study->bins();
    if (o.volume) {
      v.slices = std::move(osemSlices);
      v.method = "OSEM " + std::to_string(o.osemSubsets) + " subsets x " +
                 std::to_string(o.osemIterations) + " iterations";
    } else {
      const sinora::Recipe ramp;  // FBP with the program's Ramp, no corrections
      v.slices = sinora::runRecipeVolume(*study, ramp, 2, nullptr).slices;
      v.method = "FBP Ramp";
    }
    const sinora::formats::ExportResult r =
        o.exportVolume == "dicom"       ? sinora::formats::dicomVolume(*study, v, "volume")
        : o.exportVolume == "interfile" ? sinora::formats::interfileVolume(*study, v, "volume")
                                        : sinora::formats::niftiVolume(*study, v, "volume");
    if (!exported(r)) {
      std::fprintf(stderr, "sinora-render: %s\n", english(r.error).c_str());
      return 1;
    }
  }
  if (!o.exportProjections.empty()) {
    const sinora::formats::ExportResult r =
        o.exportProjections == "dicom" ? sinora::formats::dicomProjections(*study, "projections")
                                       : sinora::formats::interfileProjections(*study, "projections");
    if (!exported(r)) {
      std::fprintf(stderr, "sinora-render: %s\n", english(r.error).c_str());
      return 1;
    }
  }

  // Nothing is written where the study itself stands.
  std::vector<std::string> names;
  for (const Output& f : outputs) names.push_back(f.name);
  std::string clash;
  if (sinora::tools::anyIsFile(o.out, names, studyFiles, &clash)) {
    std::fprintf(stderr, "sinora-render: %s/%s is the study itself; nothing was written\n",
                 o.out.c_str(), clash.c_str());
    return 1;
  }
  std::string error;
  if (!sinora::tools::makeFolders(o.out, &error)) {
    std::fprintf(stderr, "sinora-render: %s\n", error.c_str());
    return 1;
  }
  std::vector<sinora::tools::OutputFile> files;
  for (const Output& f : outputs) {
    // Qt's encoder gives nothing when it fails: no empty picture is written in its place.
    if (f.bytes.empty() && f.name.size() > 4 && f.name.compare(f.name.size() - 4, 4, ".png") == 0) {
      std::fprintf(stderr, "sinora-render: cannot encode %s as PNG; nothing was written\n", f.name.c_str());
      return 1;
    }
    files.push_back({f.name, f.bytes});
  }
  if (!sinora::tools::writeAll(o.out, files, &error)) {
    std::fprintf(stderr, "sinora-render: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
