// sinora-render --ct: the mu map of the slice and the slice over the CT, from a CT series that
// pydicom writes (tests/formats/write_test_ct.py) placed on the sample study (which has no
// patient coordinates, so the CT's middle goes on the grid's; pixels of 1 mm).
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "imaging/mu_map.h"
#include "written_once.h"

namespace {

QList<QList<double>> readCsv(const QString& path) {
  QList<QList<double>> rows;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return rows;
  for (const QByteArray& line : f.readAll().trimmed().split('\n')) {
    QList<double> row;
    for (const QByteArray& cell : line.split(',')) row << cell.toDouble();
    rows << row;
  }
  return rows;
}

int render(const QStringList& args, QString* err) {
  QProcess p;
  p.start(QStringLiteral(SINORA_RENDER), args);
  p.waitForFinished(120000);
  *err = QString::fromLocal8Bit(p.readAllStandardError());
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(SinoraRenderCt, WritesTheSlicesMuMapAndTheFusedSlice) {
  QTemporaryDir dir;
  const std::filesystem::path written = sinora::testing::writtenOnce("ct-series", {SINORA_CT_WRITER}, [](const std::filesystem::path& d) {
    const std::string cmd = std::string("/usr/bin/python3 '") + SINORA_CT_WRITER + "' '" + d.string() + "' > /dev/null";
    return std::system(cmd.c_str()) == 0;
  });
  ASSERT_FALSE(written.empty()) << "the CT writer (python3-pydicom) failed";
  auto series = [&](const char* name) { return QString::fromStdString((written / name).string()); };
  QString err;
  const QString out = dir.filePath(QStringLiteral("out")), moved = dir.filePath(QStringLiteral("moved"));
  ASSERT_EQ(render({"--out", out, "--slice", "60", "--ct", series("ct")}, &err), 0) << err.toStdString();
  // The reader's notes on the terminal, in English as the tool's other words.
  EXPECT_TRUE(err.contains(QStringLiteral("the CT's middle was placed on the reconstruction's"))) << err.toStdString();
  const QList<QList<double>> mu = readCsv(out + QStringLiteral("/mu.csv"));
  ASSERT_EQ(mu.size(), 128);
  ASSERT_EQ(mu[0].size(), 128);
  // Row 60 is z = 2 mm of the CT; the CT's middle (0, 0) is pixel (64, 64): the rod at
  // x = 40, y = -5 mm, water at (10, 10), air in the corner ([y][x]).
  EXPECT_NEAR(mu[59][104], sinora::huToMu(1000, 140.5), 1e-6);
  EXPECT_NEAR(mu[74][74], sinora::huToMu(0, 140.5), 1e-6);
  EXPECT_NEAR(mu[59][39], sinora::huToMu(-800, 140.5), 1e-6);
  EXPECT_EQ(mu[5][5], 0);
  const QImage fused(out + QStringLiteral("/fused.png"));
  EXPECT_EQ(fused.size(), QSize(256, 256)) << "twice as fine as the slice";
  EXPECT_FALSE(QImage(out + QStringLiteral("/mu.png")).isNull());
  // --ct-shift: 4 mm to the patient's left is 4 pixels to the right.
  ASSERT_EQ(render({"--out", moved, "--slice", "60", "--ct", series("ct"), "--ct-shift", "4,0,0"}, &err), 0)
      << err.toStdString();
  const QList<QList<double>> shifted = readCsv(moved + QStringLiteral("/mu.csv"));
  ASSERT_EQ(shifted.size(), 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 4; x < 128; ++x) ASSERT_EQ(shifted[y][x], mu[y][x - 4]) << x << "," << y;
  // The map goes to the attenuated OSEM: on a phantom (no patient coordinates, the CT centred)
  // the corrected slice differs from the uniform outline's; a phantom's own map besides is refused.
  const QStringList phantom = {"--phantom", "cylinder", "--ph-matrix", "64", "--ph-pixel", "4", "--ph-views", "32",
                               "--ph-noise-free", "--slice", "32", "--osem", "8:2", "--osem-attenuated", "--values"};
  const QString uniform = dir.filePath(QStringLiteral("uniform")), fromCt = dir.filePath(QStringLiteral("fromct"));
  ASSERT_EQ(render(QStringList(phantom) << "--out" << uniform, &err), 0) << err.toStdString();
  ASSERT_EQ(render(QStringList(phantom) << "--out" << fromCt << "--ct" << series("ct"), &err), 0)
      << err.toStdString();
  EXPECT_NE(readCsv(fromCt + QStringLiteral("/osem.csv")), readCsv(uniform + QStringLiteral("/osem.csv")));
  EXPECT_EQ(render(QStringList(phantom) << "--ph-mu" << "0.15" << "--ph-mu-map" << "--out" << dir.filePath(QStringLiteral("two"))
                                        << "--ct" << series("ct"), &err), 2);
  EXPECT_TRUE(err.contains(QStringLiteral("two mu maps"))) << err.toStdString();
  // A CT that cannot be read: the reason, and nothing written.
  const QString none = dir.filePath(QStringLiteral("none"));
  EXPECT_EQ(render({"--out", none, "--ct", series("tilted")}, &err), 1);
  EXPECT_TRUE(err.contains(QStringLiteral("gantry tilt"))) << err.toStdString();
  EXPECT_FALSE(QFile::exists(none));
  EXPECT_EQ(render({"--out", none, "--ct", series("ct"), "--ct-shift", "60,0,0"}, &err), 2);
  EXPECT_FALSE(QFile::exists(none));
}

}  // namespace
