// sinora-render: the pictures of both windows as PNG files, for slides and scripted checks.
#include <QDir>
#include <QImage>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/point_source.h"
#include "imaging/reconstruction.h"
#include "imaging/sample_study.h"
#include "platform/number.h"

namespace {

const char kUsage[] =
    "usage: sinora-render [STUDY] --out DIR [--projection K] [--slice N]\n"
    "                     [--filter ramp|shepp-logan|none] [--order TEXT] [--cutoff TEXT]\n"
    "                     [--density D] [--palette ribbon|grey|none] [--degrees TEXT]\n"
    "                     [--ps-order TEXT] [--ps-cutoff TEXT] [--values]\n"
    "Writes the pictures of Sinora's two windows into DIR as 128 x 128 PNG files.\n"
    "Without STUDY the built-in sample study is used. TEXT options are read as the\n"
    "windows read their edit boxes.\n";

struct Options {
  std::string study, out;
  int projection = 0, slice = 60, density = 7;
  sinora::ReconFilter filter = sinora::ReconFilter::None;
  sinora::Palette palette = sinora::Palette::Neither;
  std::string order, cutoff, degrees, psOrder, psCutoff;
  bool values = false;
};

bool parseInt(const std::string& text, long min, long max, int& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  out = static_cast<int>(v);
  return true;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "sinora-render: %s\n%s", message.c_str(), kUsage);
  return 2;
}

bool writeImage(const std::string& dir, const std::string& name, const sinora::DisplayImage& image,
                sinora::Palette palette, bool values) {
  const sinora::RgbImage rgb = sinora::render(image, palette);
  QImage picture(reinterpret_cast<const uchar*>(rgb.data()), sinora::kSize, sinora::kSize,
                 sinora::kSize * 4, QImage::Format_RGB32);
  const std::string png = dir + "/" + name + ".png";
  if (!picture.convertToFormat(QImage::Format_RGB888).save(QString::fromStdString(png), "PNG")) {
    std::fprintf(stderr, "sinora-render: cannot write %s\n", png.c_str());
    return false;
  }
  if (values) {
    std::ofstream csv(dir + "/" + name + ".csv");
    for (int y = 0; y < sinora::kSize; ++y)
      for (int x = 0; x < sinora::kSize; ++x)
        csv << image.at(x, y) << (x + 1 < sinora::kSize ? ',' : '\n');
    if (!csv) {
      std::fprintf(stderr, "sinora-render: cannot write %s/%s.csv\n", dir.c_str(), name.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--values") {
      o.values = true;
    } else if (a == "--out") {
      if (!value(o.out) || o.out.empty()) return usageError("--out needs a folder");
    } else if (a == "--projection") {
      if (!value(v) || !parseInt(v, 0, 59, o.projection))
        return usageError("--projection takes a whole number from 0 to 59");
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
    } else if (a.size() > 1 && a[0] == '-') {
      return usageError("unknown option " + a);
    } else if (o.study.empty()) {
      o.study = a;
    } else {
      return usageError("only one study file can be given");
    }
  }
  if (o.out.empty()) return usageError("--out DIR is required");

  sinora::StudyPtr study;
  if (o.study.empty()) {
    study = sinora::sampleStudy();
  } else {
    const sinora::StudyReadResult read = sinora::readStudyFile(o.study);
    if (!read.study) {
      std::fprintf(stderr, "sinora-render: %s: %s\n", o.study.c_str(), read.error.c_str());
      return 1;
    }
    study = read.study;
  }
  if (!QDir().mkpath(QString::fromStdString(o.out))) {
    std::fprintf(stderr, "sinora-render: cannot create the folder %s\n", o.out.c_str());
    return 1;
  }

  // As the reconstruction window: the pre-filter parameters pass the 0.01 test when read.
  const sinora::BwParameters bw =
      sinora::checkedBwParameters(sinora::readNumber(o.order), sinora::readNumber(o.cutoff));
  const int step = sinora::viewStep(sinora::readNumber(o.degrees));
  const double psOrder = sinora::readNumber(o.psOrder), psCutoff = sinora::readNumber(o.psCutoff);
  const std::string& d = o.out;
  bool ok = true;
  ok &= writeImage(d, "projection", sinora::projectionImage(*study, o.projection, o.density),
                   o.palette, o.values);
  ok &= writeImage(d, "smoothed",
                   sinora::smoothedProjection(*study, o.projection, bw, o.density), o.palette,
                   o.values);
  ok &= writeImage(d, "backprojection", sinora::backprojectionImage(*study, o.slice, o.density),
                   o.palette, o.values);
  ok &= writeImage(d, "fbp", sinora::filteredBackprojection(*study, o.slice, o.filter, o.density),
                   o.palette, o.values);
  ok &= writeImage(d, "prefiltered-fbp",
                   sinora::prefilteredBackprojection(*study, o.slice, o.filter, bw, o.density),
                   o.palette, o.values);
  ok &= writeImage(d, "ps-backprojection", sinora::pointSourceBackprojection(step), o.palette,
                   o.values);
  ok &= writeImage(d, "ps-ramp", sinora::pointSourceRamp(step), o.palette, o.values);
  ok &= writeImage(d, "ps-bw-ramp", sinora::pointSourceBwRamp(step, psOrder, psCutoff),
                   o.palette, o.values);

  std::ofstream csv(d + "/profile.csv");
  csv << "i,profile,ramp,bw_ramp\n" << std::setprecision(17);
  const sinora::Curve& profile = sinora::graphProfile();
  const sinora::Curve ramp = sinora::rampCurve();
  const auto bwRamp = sinora::bwRampCurve(psOrder, psCutoff);
  for (int i = 0; i < 64; ++i) {
    csv << i << ',' << profile[i] << ',' << ramp[i] << ',';
    if (bwRamp) csv << (*bwRamp)[i];
    csv << '\n';
  }
  if (!csv) {
    std::fprintf(stderr, "sinora-render: cannot write %s/profile.csv\n", d.c_str());
    ok = false;
  }
  return ok ? 0 : 1;
}
