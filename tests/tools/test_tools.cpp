// The command-line tools, run as a user runs them.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QXmlStreamReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "imaging/collimator.h"
#include "imaging/phantom.h"
#include "imaging/point_source.h"
#include "imaging/reconstruction.h"
#include "imaging/sample_study.h"
#include "imaging/scatter.h"
#include "platform/number.h"

using namespace sinora;

namespace {

struct ToolRun {
  int status;
  QString err;
};

ToolRun run(const char* program, const QStringList& args) {
  QProcess p;
  p.start(QString::fromLocal8Bit(program), args);
  p.waitForFinished(60000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromLocal8Bit(p.readAllStandardError())};
}

const char* const kImages[] = {"projection", "smoothed", "backprojection", "fbp", "prefiltered-fbp",
                               "ps-backprojection", "ps-ramp", "ps-bw-ramp"};

TEST(SinoraRender, WritesEveryPictureAndItsValues) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("out"));
  const ToolRun r = run(SINORA_RENDER, {"--out", out, "--projection", "7", "--slice", "50", "--filter",
                                    "shepp-logan", "--order", "8", "--cutoff", "0.1", "--density",
                                    "30", "--palette", "ribbon", "--degrees", "5", "--ps-order", "2",
                                    "--ps-cutoff", "0.25", "--values"});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const StudyPtr s = sampleStudy();
  const DisplayImage expected[] = {
      projectionImage(*s, 7, 30),
      smoothedProjection(*s, 7, {8, 0.1}, 30),
      backprojectionImage(*s, 50, 30),
      filteredBackprojection(*s, 50, ReconFilter::SheppLogan, 30),
      prefilteredBackprojection(*s, 50, ReconFilter::SheppLogan, {8, 0.1}, 30),
      pointSourceBackprojection(5),
      pointSourceRamp(5),
      pointSourceBwRamp(5, 2, 0.25),
  };
  for (int n = 0; n < 8; ++n) {
    const QString base = out + QLatin1Char('/') + QLatin1String(kImages[n]);
    const QImage png(base + QStringLiteral(".png"));
    ASSERT_FALSE(png.isNull()) << kImages[n];
    EXPECT_EQ(png.size(), QSize(128, 128));
    QFile raw(base + QStringLiteral(".png"));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray header = raw.read(26);
    EXPECT_EQ(int(header[24]), 8) << kImages[n];  // 8 bits a sample
    EXPECT_EQ(int(header[25]), 2) << kImages[n];  // RGB, no alpha
    QFile csv(base + QStringLiteral(".csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << kImages[n];
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 128);
    const RgbImage rgb = render(expected[n], Palette::Ribbon);
    for (int y = 0; y < 128; ++y) {
      const QList<QByteArray> cells = lines[y].split(',');
      ASSERT_EQ(cells.size(), 128);
      for (int x = 0; x < 128; ++x) {
        ASSERT_EQ(cells[x].toInt(), expected[n].at(x, y)) << kImages[n] << " at " << x << ", " << y;
        // The PNG pixel is the display mapping of that value.
        ASSERT_EQ(png.pixel(x, y), rgb[y * 128 + x]) << kImages[n] << " at " << x << ", " << y;
      }
    }
  }
  QFile profile(out + QStringLiteral("/profile.csv"));
  ASSERT_TRUE(profile.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = profile.readAll().trimmed().split('\n');
  ASSERT_EQ(lines.size(), 65);
  EXPECT_EQ(lines[0], QByteArray("i,profile,ramp,bw_ramp"));
  const QList<QByteArray> row26 = lines[27].split(',');
  ASSERT_EQ(row26.size(), 4);
  EXPECT_EQ(row26[0], QByteArray("26"));
  EXPECT_EQ(row26[2].toDouble(), rampCurve()[26]);  // 17 digits: the double comes back exactly
  EXPECT_EQ(row26[3].toDouble(), (*bwRampCurve(2, 0.25))[26]);
}

TEST(SinoraRender, DefaultsAreThoseOfAFreshWindow) {
  QTemporaryDir dir;
  ASSERT_EQ(run(SINORA_RENDER, {"--out", dir.path(), "--values"}).status, 0);
  QFile csv(dir.filePath(QStringLiteral("prefiltered-fbp.csv")));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const DisplayImage want = prefilteredBackprojection(*sampleStudy(), 60, ReconFilter::None, {1, 1}, 7);
  const QList<QByteArray> lines = csv.readAll().split('\n');
  EXPECT_EQ(lines[64].split(',')[64].toInt(), want.at(64, 64));
  QFile profile(dir.filePath(QStringLiteral("profile.csv")));
  ASSERT_TRUE(profile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(profile.readAll().split('\n')[1].endsWith(','));  // no Butterworth curve
  const QImage ps(dir.filePath(QStringLiteral("ps-backprojection.png")));
  EXPECT_EQ(ps.pixel(5, 60), 0xffffffffu);  // two views: rows 55..73 at the top of the scale
}

TEST(SinoraRender, UsageErrorsAndUnreadableStudies) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("o"));
  const struct {
    QStringList args;
    int status;
  } cases[] = {
      {{"--out", out, "--bogus"}, 2},
      {{"--out", out, "--projection", "60"}, 2},
      {{"--out", out, "--projection", "-1"}, 2},
      {{"--out", out, "--projection", "x"}, 2},
      {{"--projection", "3"}, 2},
      {{"--out", out, "--filter", "sobel"}, 2},
      {{"--out", out, "--density", "256"}, 2},
      {{"--out", out, "--palette"}, 2},
      {{"--out", out, dir.filePath(QStringLiteral("missing.dat"))}, 1},
      {{"--out", out, dir.path()}, 1},
  };
  for (const auto& c : cases) {
    const ToolRun r = run(SINORA_RENDER, c.args);
    EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QDir(out).exists()) << "nothing may be written: " << c.args.join(' ').toStdString();
  }
  const ToolRun missing = run(SINORA_RENDER, {"--out", out, dir.filePath(QStringLiteral("missing.dat"))});
  EXPECT_TRUE(missing.err.contains(QStringLiteral("missing.dat")));
}

// Japanese on the terminal: hiragana, katakana or kanji.
bool anyJapanese(const QString& text) {
  for (const QChar c : text)
    if ((c.unicode() >= 0x3040 && c.unicode() <= 0x30FF) || (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) ||
        (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF9F))
      return true;
  return false;
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// The tools speak English: the readers' refusals and notes too, with their numbers.
TEST(SinoraRender, TheReadersMessagesAreInEnglish) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("o"));
  const QByteArray head = "!INTERFILE :=\n!imaging modality := nucmed\nname of data file := d.s\n"
                          "!type of data := Tomographic\nimagedata byte order := LITTLEENDIAN\n"
                          "!number format := float\n!number of bytes per pixel := 4\n"
                          "!matrix size [1] := 8\n!matrix size [2] := 2\n!number of projections := 4\n";
  writeFile(dir.filePath(QStringLiteral("short.hs")), head);
  writeFile(dir.filePath(QStringLiteral("d.s")), QByteArray(100, '\0'));
  writeFile(dir.filePath(QStringLiteral("nm.hs")), head + "!imaging modality := PET\n");
  writeFile(dir.filePath(QStringLiteral("stir.hs")), "!INTERFILE :=\n!imaging modality := NM\n" + head.mid(14));
  writeFile(dir.filePath(QStringLiteral("reco.hs")), head + "!process status := reconstructed\n");
  QByteArray weights;
  for (int n = 0; n < 64; ++n) {
    const float v = 0.25f * float(n);
    weights.append(reinterpret_cast<const char*>(&v), 4);
  }
  writeFile(dir.filePath(QStringLiteral("w.s")), weights);
  writeFile(dir.filePath(QStringLiteral("w.hs")), QByteArray(head).replace("d.s", "w.s"));
  const struct {
    const char* file;
    int status;
    const char* english;  // a piece of the message
  } cases[] = {
      {"short.hs", 1, "bytes"},
      {"reco.hs", 1, "reconstructed"},
      {"missing.hs", 1, "not there"},
      {"stir.hs", 1, "bytes"},  // short as well: refused, not for its modality
      {"w.hs", 0, "start angle was read as Interfile 3.3 has it"},
      {"w.hs", 0, "whole counts"},
  };
  for (const auto& c : cases) {
    const ToolRun r = run(SINORA_RENDER, {"--out", out, dir.filePath(QString::fromLatin1(c.file))});
    EXPECT_EQ(r.status, c.status) << c.file << ": " << r.err.toStdString();
    EXPECT_FALSE(anyJapanese(r.err)) << c.file << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QLatin1String(c.english), Qt::CaseInsensitive)) << c.file << ": " << r.err.toStdString();
  }
}

// --turn and --mirror open a study as the opening dialog does: the slice turns or reflects.
TEST(SinoraRender, TurnAndMirrorTheStudy) {
  QTemporaryDir dir;
  auto fbp = [&](const QStringList& extra) {
    const QString out = dir.filePath(QStringLiteral("o%1").arg(extra.join(QString())));
    const ToolRun r = run(SINORA_RENDER, QStringList{"--out", out, "--values", "--slice", "64"} + extra);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    QFile csv(out + QStringLiteral("/fbp.csv"));
    EXPECT_TRUE(csv.open(QIODevice::ReadOnly));
    std::vector<std::vector<int>> v;
    for (const QByteArray& line : csv.readAll().trimmed().split('\n')) {
      v.emplace_back();
      for (const QByteArray& cell : line.split(',')) v.back().push_back(cell.toInt());
    }
    return v;
  };
  // Where the slice is brightest: a turn of 180 puts it opposite the centre, a mirror about the
  // first view's bin axis (across the screen) reflects it top to bottom.
  auto brightest = [](const std::vector<std::vector<int>>& v) {
    int bx = 0, by = 0;
    for (int y = 0; y < int(v.size()); ++y)
      for (int x = 0; x < int(v[std::size_t(y)].size()); ++x)
        if (v[std::size_t(y)][std::size_t(x)] > v[std::size_t(by)][std::size_t(bx)]) bx = x, by = y;
    return std::make_pair(bx, by);
  };
  const auto plain = brightest(fbp({}));
  const auto turned = brightest(fbp({"--turn", "180"}));
  const auto mirrored = brightest(fbp({"--mirror"}));
  EXPECT_NEAR(turned.first, 128 - plain.first, 1);
  EXPECT_NEAR(turned.second, 128 - plain.second, 1);
  EXPECT_NEAR(mirrored.first, plain.first, 1);
  EXPECT_NEAR(mirrored.second, 128 - plain.second, 1);
  const ToolRun bad = run(SINORA_RENDER, {"--out", dir.filePath(QStringLiteral("b")), "--turn", "45"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_TRUE(bad.err.contains(QLatin1String("--turn takes 0, 90, 180 or 270")));
}

TEST(SinoraRender, RefusesVolumesPastTheMemoryLimitBeforeWritingAnything) {
  // 4 views of 512 x 512 (2 MB) whose two volumes would take 2 GiB.
  QTemporaryDir dir;
  const QString study = dir.filePath(QStringLiteral("big.raw")), out = dir.filePath(QStringLiteral("o"));
  QFile f(study);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(QByteArray(4 * 512 * 512 * 2, '\x01')), 4 * 512 * 512 * 2);
  f.close();
  const QStringList raw = {"--raw-views", "4", "--raw-rows", "512", "--raw-bins", "512", "--raw-bytes", "2"};
  const ToolRun r = run(SINORA_RENDER, QStringList{"--out", out, "--osem", "1:1", "--volume", study} + raw);
  EXPECT_EQ(r.status, 1) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("more than the limit of 1024 MB"))) << r.err.toStdString();
  EXPECT_FALSE(QDir(out).exists());
}

TEST(SinoraRender, StudyFileAndHostileTexts) {
  QTemporaryDir dir;
  const QString study = dir.filePath(QStringLiteral("s.dat"));
  ASSERT_EQ(run(SINORA_SAMPLE, {study}).status, 0);
  for (const char* t : {"", "abc", "nan", "inf", "1e400", "-0", "0.5"}) {
    const QString text = QString::fromLatin1(t);
    const ToolRun r = run(SINORA_RENDER, {study, "--out", dir.filePath(QStringLiteral("o")), "--order", text,
                                      "--cutoff", text, "--degrees", text, "--ps-order", text,
                                      "--ps-cutoff", text});
    EXPECT_EQ(r.status, 0) << t << ": " << r.err.toStdString();
  }
}

TEST(SinoraSample, WritesTheSampleStudyAndNeverOverwrites) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sample.dat"));
  ASSERT_EQ(run(SINORA_SAMPLE, {path}).status, 0);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  f.close();
  const std::vector<std::uint8_t> want = studyFileBytes(*sampleStudy());
  ASSERT_EQ(std::size_t(bytes.size()), want.size());
  EXPECT_TRUE(std::equal(want.begin(), want.end(), reinterpret_cast<const std::uint8_t*>(bytes.data())));

  QFile existing(dir.filePath(QStringLiteral("mine.dat")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write("precious");
  existing.close();
  const ToolRun r = run(SINORA_SAMPLE, {existing.fileName()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.contains(QStringLiteral("mine.dat")));
  ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
  EXPECT_EQ(existing.readAll(), QByteArray("precious"));
  EXPECT_EQ(run(SINORA_SAMPLE, {}).status, 2);
}

}  // namespace

namespace {

// A CSV of numbers, row by row.
std::vector<std::vector<double>> readCsv(const QString& path) {
  QFile f(path);
  std::vector<std::vector<double>> rows;
  if (!f.open(QIODevice::ReadOnly)) return rows;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.isEmpty()) continue;
    std::vector<double> row;
    for (const QByteArray& cell : line.split(',')) row.push_back(cell.toDouble());
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

TEST(SinoraRender, PhantomWritesItsTruthAndTheCorrectedPictures) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("p"));
  // A point 20 mm right and 12 mm back of the centre, 8 mm down, on a 64 matrix of 4 mm pixels.
  const ToolRun r = run(SINORA_RENDER, {"--phantom", "point", "--ph-matrix", "64", "--ph-pixel", "4",
                                        "--ph-views", "64", "--ph-counts", "1e5", "--ph-point", "20,12,8",
                                        "--slice", "34", "--filter", "ramp", "--values", "--out", out});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const auto truth = readCsv(out + QStringLiteral("/truth.csv"));
  ASSERT_EQ(truth.size(), 64u);
  ASSERT_EQ(truth[0].size(), 64u);
  // Rows of the CSV are screen rows (j), columns screen columns (i), as the other pictures.
  EXPECT_DOUBLE_EQ(truth[32 + 3][32 + 5], 1.0 / 64);
  double sum = 0;
  for (const auto& row : truth)
    for (double v : row) sum += v;
  EXPECT_DOUBLE_EQ(sum, 1.0 / 64);
  EXPECT_FALSE(QImage(out + QStringLiteral("/truth.png")).isNull());
  EXPECT_EQ(QImage(out + QStringLiteral("/projection.png")).size(), QSize(64, 64));
  // The FBP's peak is where the truth is.
  const auto fbp = readCsv(out + QStringLiteral("/fbp.csv"));
  int best = 0;
  for (int n = 0; n < 64 * 64; ++n)
    if (fbp[std::size_t(n / 64)][std::size_t(n % 64)] > fbp[std::size_t(best / 64)][std::size_t(best % 64)]) best = n;
  EXPECT_EQ(best, (32 + 3) * 64 + 32 + 5);

  // Attenuation: the corrected FBP and the attenuated OSEM are written beside the others.
  const QString att = dir.filePath(QStringLiteral("a"));
  const ToolRun a = run(SINORA_RENDER, {"--phantom", "cylinder", "--ph-matrix", "64", "--ph-pixel", "4",
                                        "--ph-views", "32", "--ph-mu", "0.15", "--slice", "32", "--chang",
                                        "iterated", "--osem", "8:4", "--osem-attenuated", "--out", att});
  ASSERT_EQ(a.status, 0) << a.err.toStdString();
  for (const char* name : {"chang-fbp.png", "osem.png", "truth.png", "truth.csv"})
    EXPECT_TRUE(QFile::exists(att + QLatin1Char('/') + QLatin1String(name))) << name;
}

TEST(SinoraRender, TheThoraxAndItsMuMap) {
  QTemporaryDir dir;
  const QString uniform = dir.filePath(QStringLiteral("u")), mapped = dir.filePath(QStringLiteral("m"));
  const QStringList thorax = {"--phantom", "thorax", "--ph-matrix", "64", "--ph-pixel", "6", "--ph-views", "32",
                              "--ph-mu", "0.15", "--ph-noise-free", "--slice", "32", "--chang", "first",
                              "--osem", "8:2", "--osem-attenuated", "--values"};
  ASSERT_EQ(run(SINORA_RENDER, QStringList(thorax) << "--out" << uniform).status, 0);
  const ToolRun m = run(SINORA_RENDER, QStringList(thorax) << "--ph-mu-map" << "--out" << mapped);
  ASSERT_EQ(m.status, 0) << m.err.toStdString();
  EXPECT_FALSE(QFile::exists(uniform + QStringLiteral("/mu.csv")));
  // mu.csv: screen rows (towards the back) by columns, cm^-1. The vertebra 80 mm behind the
  // centre is bone, the lung 95 mm to the right of it (the screen's left) 0.3 of water.
  const auto mu = readCsv(mapped + QStringLiteral("/mu.csv"));
  ASSERT_EQ(mu.size(), 64u);
  EXPECT_NEAR(mu[32 + 13][32], 0.15 / waterMu(140.5) * 0.295, 0.003);
  EXPECT_NEAR(mu[32 + 1][32 - 16], 0.3 * 0.15, 1e-6);
  EXPECT_NEAR(mu[32 - 15][32], 0.15, 1e-6);
  EXPECT_FALSE(QImage(mapped + QStringLiteral("/mu.png")).isNull());
  // The map changes both corrections.
  for (const char* name : {"/chang-fbp.csv", "/osem.csv"})
    EXPECT_NE(readCsv(mapped + QLatin1String(name)), readCsv(uniform + QLatin1String(name))) << name;
  // Without attenuation there is no map; a field too small for the thorax is refused.
  const QString none = dir.filePath(QStringLiteral("n"));
  for (const QStringList& bad : {QStringList{"--phantom", "thorax", "--ph-pixel", "6", "--ph-matrix", "64", "--ph-mu-map"},
                                 QStringList{"--phantom", "thorax", "--ph-mu", "0.15"}}) {
    const ToolRun r = run(SINORA_RENDER, QStringList(bad) << "--out" << none);
    EXPECT_EQ(r.status, 2) << bad.join(' ').toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QDir(none).exists());
  }
}

TEST(SinoraRender, ScatterEstimateIsTheFormulaAndCorrectsFbpAndOsem) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("s"));
  const ToolRun r = run(SINORA_RENDER, {"--phantom", "cylinder", "--ph-matrix", "64", "--ph-pixel", "4",
                                        "--ph-views", "32", "--ph-mu", "0.154", "--ph-scatter", "on",
                                        "--ph-collimator", "lehr", "--ph-windows", "20,6,6", "--slice", "32",
                                        "--scatter", "tew", "--scatter-smooth", "none", "--osem", "8:2",
                                        "--psf", "phantom", "--out", out});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  for (const char* name : {"scatter.png", "scatter.csv", "fbp-scatter.png", "osem.png"})
    EXPECT_TRUE(QFile::exists(out + QLatin1Char('/') + QLatin1String(name))) << name;
  // The same acquisition here: the CSV is TEW of row 32, views down, bins across.
  PhantomSettings s;
  s.kind = PhantomKind::Cylinder;
  s.matrix = 64;
  s.pixelMm = 4;
  s.views = 32;
  s.muPerCm = 0.154;
  s.scatter = true;
  s.realCollimator = true;
  collimatorPreset("lehr", s.collimator);
  s.lowerPercent = s.upperPercent = 6;
  const PhantomResult made = makePhantomStudy(s, 2);
  ASSERT_TRUE(made.study);
  const EnergyWindowSet& set = *made.study->geometry().energyWindows;
  const auto csv = readCsv(out + QStringLiteral("/scatter.csv"));
  ASSERT_EQ(csv.size(), 32u);
  const double wl = set.windows[1].width(), wu = set.windows[2].width(), wp = set.windows[0].width();
  for (int k = 0; k < 32; ++k) {
    ASSERT_EQ(csv[std::size_t(k)].size(), 64u);
    for (int b = 0; b < 64; ++b) {
      const std::size_t n = (std::size_t(k) * 64 + 32) * 64 + std::size_t(b);
      ASSERT_EQ(csv[std::size_t(k)][std::size_t(b)], (set.counts[1][n] / wl + set.counts[2][n] / wu) * wp / 2) << k << " " << b;
    }
  }
  // What cannot be done is said and nothing is written.
  const QString none = dir.filePath(QStringLiteral("n"));
  const QStringList bad[] = {
      {"--scatter", "tew"},                  // the sample study has one window
      {"--scatter", "triple"},
      {"--energy-window", "2"},
      {"--psf", "lehr"},                     // without --osem
      {"--psf", "1,2", "--osem", "10:1"},
      {"--psf", "phantom", "--osem", "10:1"},  // the sample is no phantom
      {"--phantom", "cylinder", "--ph-collimator", "huge"},
      {"--phantom", "cylinder", "--ph-windows", "20,6"},
      {"--phantom", "cylinder", "--ph-isotope", "co57"},
  };
  for (const QStringList& args : bad) {
    const ToolRun b = run(SINORA_RENDER, QStringList(args) << "--out" << none);
    EXPECT_NE(b.status, 0) << args.join(' ').toStdString();
    EXPECT_FALSE(b.err.isEmpty()) << args.join(' ').toStdString();
    EXPECT_FALSE(QDir(none).exists()) << args.join(' ').toStdString();
  }
}

TEST(SinoraRender, PhantomSettingsAreCheckedBeforeAnythingIsWritten) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("o"));
  const QStringList bad[] = {
      {"--phantom", "teapot"},
      {"--phantom", "jaszczak", "--ph-views", "0"},
      {"--phantom", "jaszczak", "--ph-counts", "1e12"},
      {"--phantom", "jaszczak", "--ph-mu", "-0.1"},
      {"--phantom", "jaszczak", "--ph-pixel", "0"},
      {"--phantom", "jaszczak", "--ph-fwhm", "nan"},
      {"--phantom", "point", "--ph-point", "500,0,0"},
      {"--phantom", "point", "--ph-point", "1,2"},
      {"--phantom", "jaszczak", "--ph-direction", "up"},
      {"--phantom", "jaszczak", "study.dat"},
      {"--chang", "first", "--osem", "10:1", "--osem-attenuated"},  // the sample has no pixel size
      {"--phantom", "cylinder", "--osem-attenuated"},
  };
  for (const QStringList& args : bad) {
    const ToolRun r = run(SINORA_RENDER, QStringList(args) << "--out" << out);
    EXPECT_EQ(r.status, 2) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QDir(out).exists()) << args.join(' ').toStdString();
  }
  // Too many counts for one bin is found while making: a failure, and still nothing written.
  const ToolRun over = run(SINORA_RENDER, {"--phantom", "point", "--ph-views", "4", "--ph-counts", "1e7", "--out", out});
  EXPECT_EQ(over.status, 1);
  EXPECT_TRUE(over.err.contains(QStringLiteral("65535")));
  EXPECT_FALSE(QDir(out).exists());
}

namespace {

// The slices of --osem and the truth coloured continuously: many colours, at N times the size
// with pixels as blocks, or as SVG and PDF figures under the same names.
TEST(SinoraRender, ScaleAndFormatOfThePictures) {
  QTemporaryDir dir;
  const QString one = dir.filePath(QStringLiteral("one")), three = dir.filePath(QStringLiteral("three"));
  const QStringList phantom = {"--phantom", "jaszczak", "--ph-matrix", "64", "--ph-pixel", "4", "--ph-views", "30",
                               "--ph-counts", "1e6", "--osem", "5:1", "--slice", "32"};
  ToolRun r = run(SINORA_RENDER, QStringList{"--out", one} + phantom);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  r = run(SINORA_RENDER, QStringList{"--out", three, "--scale", "3"} + phantom);
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  for (const char* name : {"osem", "truth", "projection", "fbp"}) {
    const QImage a(one + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    const QImage b(three + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    ASSERT_FALSE(a.isNull()) << name;
    ASSERT_EQ(b.size(), a.size() * 3) << name;
    for (int y = 0; y < a.height(); y += 7)
      for (int x = 0; x < a.width(); x += 5)
        for (int d = 0; d < 9; ++d) ASSERT_EQ(b.pixel(3 * x + d % 3, 3 * y + d / 3), a.pixel(x, y)) << name;
  }
  // A low-count OSEM slice is not a handful of colours.
  const QImage osem(one + QStringLiteral("/osem.png"));
  QSet<QRgb> colours;
  for (int y = 0; y < osem.height(); ++y)
    for (int x = 0; x < osem.width(); ++x) colours.insert(osem.pixel(x, y));
  EXPECT_GT(colours.size(), 100);

  for (const char* format : {"svg", "pdf"}) {
    const QString out = dir.filePath(QLatin1String(format));
    r = run(SINORA_RENDER, QStringList{"--out", out, "--format", QLatin1String(format), "--scale", "2"} + phantom);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    for (const char* name : {"osem", "truth", "projection"}) {
      QFile f(out + QLatin1Char('/') + QLatin1String(name) + QLatin1Char('.') + QLatin1String(format));
      ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name << ' ' << format;
      const QByteArray bytes = f.readAll();
      if (QLatin1String(format) == QLatin1String("svg")) {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) xml.readNext();
        EXPECT_FALSE(xml.hasError()) << name;
        EXPECT_TRUE(bytes.contains("<image")) << name;
      } else {
        EXPECT_TRUE(bytes.startsWith("%PDF-")) << name;
        EXPECT_GT(bytes.size(), 2000) << name;
      }
    }
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/osem.png")));
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("/truth.csv")));  // values stay CSV
  }
  // The slices' figures carry their name and unit.
  QFile svg(dir.filePath(QStringLiteral("svg/osem.svg")));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(svg.readAll());
  QString text;
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::Characters) text += xml.text();
  EXPECT_TRUE(text.contains(QStringLiteral("osem"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("画素"))) << text.toStdString();  // the unit (split in runs)
  // Bad values are refused before anything is written.
  for (const QStringList& bad : {QStringList{"--scale", "0"}, QStringList{"--scale", "9"},
                                 QStringList{"--format", "jpeg"}, QStringList{"--scale"}}) {
    const QString out = dir.filePath(QStringLiteral("bad"));
    r = run(SINORA_RENDER, QStringList{"--out", out} + bad);
    EXPECT_EQ(r.status, 2) << bad.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(out)) << bad.join(' ').toStdString();
  }
}

}  // namespace
