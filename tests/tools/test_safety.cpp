// The programs as a user runs them with hostile arguments: nothing is ever destroyed, option
// names are never taken as values, names that are not UTF-8 are kept, exit statuses hold.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

class Tools : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sinora-safety-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override {
    const std::string cmd = "chmod -R u+w '" + dir + "' && rm -rf '" + dir + "'";
    (void)std::system(cmd.c_str());
  }
  // Runs a program with the arguments as raw bytes and an environment of our choosing.
  Outcome run(const char* program, std::vector<std::string> args,
          std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen"}) {
    Outcome r;
    const std::string out = dir + "/.stdout", err = dir + "/.stderr";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(program)};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    env.push_back("HOME=" + dir);
    env.push_back("XDG_RUNTIME_DIR=" + dir);
    env.push_back("PATH=/usr/bin:/bin");
    if (const char* asan = std::getenv("ASAN_OPTIONS")) env.push_back(std::string("ASAN_OPTIONS=") + asan);
    if (const char* lsan = std::getenv("LSAN_OPTIONS")) env.push_back(std::string("LSAN_OPTIONS=") + lsan);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program, &fa, nullptr, argv.data(), envp.data()) != 0) return r;
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    ::unlink(out.c_str());
    ::unlink(err.c_str());
    return r;
  }
  std::string sample(const std::string& name) {
    const std::string path = dir + "/" + name;
    EXPECT_EQ(run(SINORA_SAMPLE, {path}).status, 0);
    return path;
  }
  std::string dir;
};

TEST_F(Tools, RenderNeverWritesThroughALinkNorOverTheStudy) {
  const std::string study = sample("study.dat");
  const std::string before = slurp(study);
  const std::string out = dir + "/out";
  ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
  ASSERT_EQ(::symlink(study.c_str(), (out + "/profile.csv").c_str()), 0);
  const Outcome linked = run(SINORA_RENDER, {study, "--out", out});
  EXPECT_EQ(linked.status, 0) << linked.err;
  EXPECT_EQ(slurp(study), before);  // the study is untouched
  struct stat st {};
  ASSERT_EQ(::lstat((out + "/profile.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));  // the link was replaced by the output
  EXPECT_EQ(slurp(out + "/profile.csv").rfind("i,profile,ramp,bw_ramp\n", 0), 0u);

  // The study itself stored under an output name: refused before anything is written.
  const std::string out2 = dir + "/out2";
  ASSERT_EQ(::mkdir(out2.c_str(), 0755), 0);
  const std::string inside = out2 + "/fbp.png";
  ASSERT_EQ(::rename(study.c_str(), inside.c_str()), 0);
  const Outcome clash = run(SINORA_RENDER, {inside, "--out", out2});
  EXPECT_EQ(clash.status, 1);
  EXPECT_NE(clash.err.find("fbp.png"), std::string::npos) << clash.err;
  EXPECT_EQ(slurp(inside), before);
  EXPECT_FALSE(exists(out2 + "/projection.png"));
  // The same through a hard link and through a relative name.
  ASSERT_EQ(::link(inside.c_str(), (dir + "/hard.dat").c_str()), 0);
  EXPECT_EQ(run(SINORA_RENDER, {dir + "/hard.dat", "--out", out2 + "/."}).status, 1);
  EXPECT_EQ(slurp(inside), before);
  // No temporary file is left behind by a good run.
  const Outcome good = run(SINORA_RENDER, {"--out", out});
  EXPECT_EQ(good.status, 0) << good.err;
  const std::string ls = dir + "/.ls";
  (void)std::system(("ls -A '" + out + "' > '" + ls + "'").c_str());
  EXPECT_EQ(slurp(ls).find(".XXXX"), std::string::npos);
  EXPECT_EQ(slurp(ls).find("\n."), std::string::npos) << slurp(ls);
}

TEST_F(Tools, RenderReportsTheSystemsReasonOnce) {
  const std::string file = dir + "/plain";
  std::ofstream(file) << "x";
  const Outcome r = run(SINORA_RENDER, {"--out", file + "/sub"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("plain"), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  // A folder that cannot be written to (as any user: a file stands where a folder is needed).
  const std::string out = dir + "/o";
  ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((out + "/fbp.png").c_str(), 0755), 0);
  std::ofstream(out + "/fbp.png/keep") << "mine";
  const Outcome blocked = run(SINORA_RENDER, {"--out", out});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.err.find("fbp.png"), std::string::npos) << blocked.err;
  EXPECT_EQ(std::count(blocked.err.begin(), blocked.err.end(), '\n'), 1) << blocked.err;
  EXPECT_EQ(slurp(out + "/fbp.png/keep"), "mine");
}

TEST_F(Tools, OptionNamesAreNeverValues) {
  const struct {
    const char* program;
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {SINORA_RENDER, {"--out", "--values"}, 2},
      {SINORA_RENDER, {"--out", "o", "--order", "--cutoff", "0.5"}, 2},
      {SINORA_RENDER, {"--out", "o", "--cutoff", "--values"}, 2},
      {SINORA_RENDER, {"--out", "o", "--slice", "--values"}, 2},
      {SINORA_SAMPLE, {"--version"}, 2},
      {SINORA_SAMPLE, {"--force"}, 2},
      {SINORA_SAMPLE, {"a", "b"}, 2},
      {SINORA_SAMPLE, {}, 2},
  };
  for (const auto& c : cases) {
    const Outcome r = run(c.program, c.args);
    EXPECT_EQ(r.status, c.status) << c.program << " " << (c.args.empty() ? "" : c.args[0]);
    EXPECT_FALSE(r.err.empty());
  }
  // Nothing was created, in the folder it ran in or here.
  for (const char* n : {"--values", "o", "--version", "--force", "a", "b"})
    EXPECT_FALSE(exists(dir + "/" + n) || exists(n)) << n;
  // A negative number is still a value.
  const Outcome negative = run(SINORA_RENDER, {"--out", dir + "/neg", "--slice", "-5", "--order", "-1"});
  EXPECT_EQ(negative.status, 0) << negative.err;
}

TEST_F(Tools, HelpGoesToStandardOutputWithStatusZero) {
  for (const char* program : {SINORA_RENDER, SINORA_SAMPLE, SINORA_APP, SINORA_SCREENSHOTS}) {
    const Outcome r = run(program, {"--help"}, {});  // no display at all
    EXPECT_EQ(r.status, 0) << program << r.err;
    EXPECT_NE(r.out.find("sage"), std::string::npos) << program;  // "usage" / "Usage"
    EXPECT_TRUE(r.err.empty()) << r.err;
  }
  const Outcome version = run(SINORA_APP, {"--version"}, {});
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_NE(version.out.find("1.0.0.1"), std::string::npos);
  EXPECT_EQ(run(SINORA_APP, {"--bogus"}, {}).status, 2);
  EXPECT_EQ(run(SINORA_APP, {"a", "b"}, {}).status, 2);
  // The screenshots' folder is never an option's name.
  EXPECT_EQ(run(SINORA_SCREENSHOTS, {"--bogus"}, {}).status, 2);
  EXPECT_FALSE(exists(dir + "/--help") || exists("--help") || exists("--bogus"));
}

TEST_F(Tools, ABadStudyAtStartUpEndsWithoutWaitingOnAnInvisibleMessage) {
  const Outcome r = run(SINORA_APP, {dir + "/missing.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.dat"), std::string::npos) << r.err;
  // The terminal hears the reason in English, as from the other tools.
  EXPECT_NE(r.err.find("The file is not there."), std::string::npos) << r.err;
}

TEST_F(Tools, NamesThatAreNotUtf8AreKept) {
  const std::string study = sample("sjis-\x83\x56.dat");
  const std::string out = dir + "/\x8f\x6f\x97\xcd";  // "出力" in Shift-JIS
  const Outcome r = run(SINORA_RENDER, {study, "--out", out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(exists(out + "/fbp.png"));
}

}  // namespace

namespace {

TEST_F(Tools, RawLayoutOptionsReadTheStudyFileAsItIs) {
  const std::string study = sample("s.dat");
  const Outcome plain = run(SINORA_RENDER, {study, "--out", dir + "/a", "--filter", "ramp", "--values"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  // The study file is raw counts too: 3072 header bytes, 60 views of 128 x 128, big-endian.
  const Outcome raw = run(SINORA_RENDER, {study, "--out", dir + "/b", "--filter", "ramp", "--values",
                                          "--raw-header", "3072", "--raw-order", "big"});
  ASSERT_EQ(raw.status, 0) << raw.err;
  for (const char* f : {"projection.csv", "fbp.csv", "prefiltered-fbp.csv", "fbp.png"})
    EXPECT_EQ(slurp(dir + "/a/" + f), slurp(dir + "/b/" + f)) << f;
  // Little-endian reads other counts: the picture changes.
  ASSERT_EQ(run(SINORA_RENDER, {study, "--out", dir + "/c", "--values", "--raw-header", "3072",
                                "--raw-order", "little"}).status, 0);
  EXPECT_NE(slurp(dir + "/a/projection.csv"), slurp(dir + "/c/projection.csv"));
  const struct {
    std::vector<std::string> args;
    int status;
  } bad[] = {
      {{study, "--out", dir + "/d", "--raw-bytes", "3"}, 2},
      {{study, "--out", dir + "/d", "--raw-bytes", "2", "--raw-format", "float"}, 2},
      {{study, "--out", dir + "/d", "--raw-views", "0"}, 2},
      {{study, "--out", dir + "/d", "--raw-order", "--values"}, 2},
      {{"--out", dir + "/d", "--raw-views", "60"}, 2},
      {{study, "--out", dir + "/d", "--raw-views", "1024"}, 1},  // the file is too short for it
  };
  for (const auto& b : bad) {
    const Outcome r = run(SINORA_RENDER, b.args);
    EXPECT_EQ(r.status, b.status) << b.args.back();
    EXPECT_FALSE(exists(dir + "/d")) << b.args.back();
  }
}

}  // namespace

#include "imaging/iterative.h"
#include "imaging/sample_study.h"

namespace {

TEST_F(Tools, OsemSliceAndVolumePlanesFromTheCommandLine) {
  const Outcome r = run(SINORA_RENDER, {"--out", dir + "/o", "--osem", "10:2", "--values", "--slice", "50"});
  ASSERT_EQ(r.status, 0) << r.err;
  const sinora::OsemResult want = sinora::osem(*sinora::sampleStudy(), 50, 10, 2);
  // The CSV holds the slice with i across, every value to 17 digits: it reads back exactly.
  std::istringstream csv(slurp(dir + "/o/osem.csv"));
  std::string line;
  int y = 0;
  while (std::getline(csv, line)) {
    std::istringstream cells(line);
    std::string cell;
    int x = 0;
    while (std::getline(cells, cell, ',')) {
      ASSERT_EQ(std::strtod(cell.c_str(), nullptr), want.images.back()[std::size_t(x) * 128 + y]) << x << "," << y;
      ++x;
    }
    ASSERT_EQ(x, 128);
    ++y;
  }
  EXPECT_EQ(y, 128);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--out", dir + "/b", "--osem", "7:2"},   // 7 does not divide 60
        std::vector<std::string>{"--out", dir + "/b", "--osem", "10"},
        std::vector<std::string>{"--out", dir + "/b", "--osem", "10:0"},
        std::vector<std::string>{"--out", dir + "/b", "--volume"}}) {
    EXPECT_EQ(run(SINORA_RENDER, bad).status, 2) << bad.back();
    EXPECT_FALSE(exists(dir + "/b"));
  }
}

}  // namespace

#include "imaging/filter_analysis.h"

namespace {

TEST_F(Tools, WindowedFilterSinogramAndResponsesFromTheCommandLine) {
  const Outcome r = run(SINORA_RENDER, {"--out", dir + "/w", "--window", "parzen", "--window-cutoff", "0.25",
                                        "--values", "--slice", "40"});
  ASSERT_EQ(r.status, 0) << r.err;
  const sinora::Picture want = sinora::windowedPicture(
      *sinora::sampleStudy(), 40, sinora::windowedKernel(sinora::FilterWindow::Parzen, 0.25, 5, 128), 7);
  std::istringstream csv(slurp(dir + "/w/windowed-fbp.csv"));
  std::string line;
  for (int y = 0; std::getline(csv, line); ++y) {
    std::istringstream cells(line);
    std::string cell;
    for (int x = 0; std::getline(cells, cell, ','); ++x) ASSERT_EQ(std::stoi(cell), want.at(x, y)) << x << "," << y;
  }
  const std::string responses = slurp(dir + "/w/responses.csv");
  EXPECT_EQ(responses.rfind("f,ramp_dft,ideal_ramp,", 0), 0u);
  EXPECT_EQ(std::count(responses.begin(), responses.end(), '\n'), 130);  // header and 129 frequencies
  EXPECT_TRUE(exists(dir + "/w/sinogram.png"));
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--out", dir + "/b", "--window", "gauss"},
        std::vector<std::string>{"--out", dir + "/b", "--window", "hann", "--window-cutoff", "0"},
        std::vector<std::string>{"--out", dir + "/b", "--window", "butterworth", "--window-order", "0"}}) {
    EXPECT_EQ(run(SINORA_RENDER, bad).status, 2) << bad.back();
    EXPECT_FALSE(exists(dir + "/b"));
  }
}

}  // namespace

#include <nifti1_io.h>

#include "formats/export.h"
#include "formats/formats.h"
#include "imaging/phantom.h"
#include "imaging/slices.h"

namespace {

// A phantom acquisition leaves as DICOM NM TOMO and as Interfile projections and comes back
// with the same counts in the same order and the same angles, whatever the rotation.
TEST_F(Tools, ExportedProjectionsReadBackIdentical) {
  struct Case {
    const char* format;
    const char* file;
    const char* start;
    const char* direction;
  };
  for (const Case& c : {Case{"dicom", "projections.dcm", "10", "cc"}, Case{"dicom", "projections.dcm", "0", "cw"},
                        Case{"interfile", "projections.hs", "10", "cc"}, Case{"interfile", "projections.hs", "33.5", "cw"}}) {
    SCOPED_TRACE(std::string(c.format) + " from " + c.start + " " + c.direction);
    const std::string out = dir + "/p-" + c.format + c.start;
    const Outcome r = run(SINORA_RENDER, {"--out", out, "--phantom", "jaszczak", "--ph-views", "64", "--ph-matrix", "64",
                                          "--ph-start", c.start, "--ph-direction", c.direction, "--ph-seed", "3",
                                          "--export-projections", c.format});
    ASSERT_EQ(r.status, 0) << r.err;
    sinora::PhantomSettings s;
    s.views = 64;
    s.matrix = 64;
    s.startDegrees = std::strtod(c.start, nullptr);
    s.clockwise = std::string(c.direction) == "cw";
    s.seed = 3;
    const sinora::PhantomResult made = sinora::makePhantomStudy(s, 1);
    ASSERT_TRUE(made.study);
    const sinora::StudyReadResult back = sinora::formats::readAnyStudy(out + "/" + c.file);
    ASSERT_TRUE(back.study) << back.error;
    ASSERT_EQ(back.study->views(), 64);
    ASSERT_EQ(back.study->rows(), 64);
    ASSERT_EQ(back.study->bins(), 64);
    EXPECT_TRUE(back.study->counts() == made.study->counts());
    for (int k = 0; k < 64; ++k)
      ASSERT_NEAR(std::remainder(back.study->angleDegrees(k) - made.study->angleDegrees(k), 360.0), 0, 1e-9) << k;
    EXPECT_DOUBLE_EQ(back.study->geometry().pixelSizeMm, made.study->geometry().pixelSizeMm);
    // Readers give angles in 0..360 (with pi as 3.1415, a turn more is not the same slice), and
    // they agree to 1e-9 degrees, not to the bit: a pixel whose bin falls on a half may round
    // the other way, nothing more.
    sinora::StudyGeometry g = made.study->geometry();
    for (double& t : g.angles) t = std::fmod(t + 720, 360.0);
    const sinora::ProjectionStudy turned(g, made.study->counts());
    const auto a = sinora::filteredPicture(*back.study, 30, sinora::ReconFilter::Ramp, 7).values;
    const auto b = sinora::filteredPicture(turned, 30, sinora::ReconFilter::Ramp, 7).values;
    ASSERT_EQ(a.size(), b.size());
    double diff = 0, total = 0;
    for (std::size_t n = 0; n < a.size(); ++n) {
      diff += std::abs(a[n] - b[n]);
      total += b[n];
    }
    EXPECT_LT(diff, 0.01 * total);
    EXPECT_GT(total, 0);
  }
}

// The three volume formats hold the same numbers at the same places: DICOM frames (16 bits times
// the Rescale Slope) and NIfTI voxels along +z, Interfile slices row by row; NIfTI's affine is
// DICOM's placement with x and y negated.
TEST_F(Tools, ExportedVolumesAgreeWithEachOther) {
  for (const char* f : {"dicom", "interfile", "nifti"}) {
    const Outcome r = run(SINORA_RENDER, {"--out", dir + "/v", "--phantom", "jaszczak", "--ph-views", "32", "--ph-matrix",
                                          "64", "--ph-pixel", "3", "--ph-seed", "5", "--export", f});
    ASSERT_EQ(r.status, 0) << f << r.err;
  }
  nifti_image* nim = nifti_image_read((dir + "/v/volume.nii").c_str(), 1);
  ASSERT_NE(nim, nullptr);
  EXPECT_EQ(nim->nx, 64);
  EXPECT_EQ(nim->nz, 64);
  EXPECT_EQ(nim->datatype, NIFTI_TYPE_FLOAT32);
  EXPECT_FLOAT_EQ(nim->dx, 3);
  EXPECT_EQ(nim->sform_code, NIFTI_XFORM_SCANNER_ANAT);
  // Voxel (i, j, k): RAS = (-(x0 + 3i), -(y0 + 3j), z0 + 3k), the axis at i = j = 32.
  EXPECT_FLOAT_EQ(nim->sto_xyz.m[0][0], -3);
  EXPECT_FLOAT_EQ(nim->sto_xyz.m[1][1], -3);
  EXPECT_FLOAT_EQ(nim->sto_xyz.m[2][2], 3);
  EXPECT_FLOAT_EQ(nim->sto_xyz.m[0][3], 96);
  EXPECT_FLOAT_EQ(nim->sto_xyz.m[1][3], 96);
  EXPECT_FLOAT_EQ(nim->qto_xyz.m[0][0], -3);  // the quaternion form says the same
  EXPECT_FLOAT_EQ(nim->qto_xyz.m[1][3], 96);
  const float* voxels = static_cast<const float*>(nim->data);
  const std::string v = slurp(dir + "/v/volume.v");
  ASSERT_EQ(v.size(), 64u * 64 * 64 * 4);
  const float* rows = reinterpret_cast<const float*>(v.data());
  double top = 0;
  for (int k = 0; k < 64; ++k)
    for (int n = 0; n < 64 * 64; ++n) {
      // NIfTI frame k (along +z) is projection row 63 - k: rows run towards the feet.
      ASSERT_EQ(voxels[k * 4096 + n], rows[(63 - k) * 4096 + n]) << k << " " << n;
      top = std::max(top, double(voxels[k * 4096 + n]));
    }
  EXPECT_GT(top, 0);
  const std::string header = slurp(dir + "/v/volume.hv");
  for (const char* key : {"!number format := short float", "!matrix size [1] := 64", "!number of slices := 64",
                          "scaling factor (mm/pixel) [1] := 3", "process status := Reconstructed",
                          "method of reconstruction := FBP Ramp", "!name of data file := volume.v"})
    EXPECT_NE(header.find(key), std::string::npos) << key;
  nifti_image_free(nim);
}

// An export refuses the study's own name, writes through no link, and leaves nothing behind
// in a folder it may not write (the system's reason is given).
TEST_F(Tools, ExportsNeverDestroyAndSayWhy) {
  const std::string out = dir + "/e";
  ASSERT_EQ(run(SINORA_RENDER, {"--out", out, "--phantom", "point", "--ph-views", "16", "--ph-matrix", "64", "--ph-counts", "1e5",
                                "--export-projections", "interfile"}).status, 0);
  const std::string study = slurp(out + "/projections.s");
  // The export of that study into its own folder would write over its data file.
  const Outcome self = run(SINORA_RENDER, {out + "/projections.hs", "--out", out, "--export-projections", "interfile"});
  EXPECT_EQ(self.status, 1);
  EXPECT_NE(self.err.find("projections."), std::string::npos) << self.err;
  EXPECT_EQ(slurp(out + "/projections.s"), study);
  // A link standing at the name is replaced, not written through.
  const std::string other = dir + "/other.txt";
  { std::ofstream(other) << "keep"; }
  ASSERT_EQ(::mkdir((dir + "/l").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(other.c_str(), (dir + "/l/volume.nii").c_str()), 0);
  EXPECT_EQ(run(SINORA_RENDER, {out + "/projections.hs", "--out", dir + "/l", "--export", "nifti"}).status, 0);
  EXPECT_EQ(slurp(other), "keep");
  struct stat st {};
  ASSERT_EQ(::lstat((dir + "/l/volume.nii").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  // A folder without write permission: refused with the system's reason, nothing left.
  const std::string locked = dir + "/ro";
  ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
  if (::access(locked.c_str(), W_OK) != 0) {  // root may write anyway
    const Outcome ro = run(SINORA_RENDER, {out + "/projections.hs", "--out", locked, "--export", "dicom"});
    EXPECT_EQ(ro.status, 1);
    EXPECT_NE(ro.err.find("Permission denied"), std::string::npos) << ro.err;
  }
  // A format it does not write: a usage error, nothing written.
  EXPECT_EQ(run(SINORA_RENDER, {"--out", dir + "/bad", "--export", "pdf"}).status, 2);
  EXPECT_FALSE(exists(dir + "/bad"));
}

// The volume of the GE SPECT/CT study, exported as DICOM, passes dciodvfy and sits on its CT:
// checked by pydicom alone (check_ge_export.py says how).
TEST_F(Tools, GeStudyVolumeOverlaysItsCt) {
  const std::string data = std::string(SINORA_SHARED_DATA) + "/ge-lu177-spectct";
  if (!exists(data + "/bed2_projections.dcm")) GTEST_SKIP() << "no " << data;
  const Outcome r = run(SINORA_RENDER, {data + "/bed2_projections.dcm", "--out", dir + "/ge", "--export", "dicom"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string volume = dir + "/ge/volume.dcm";
  const Outcome check = run("/usr/bin/dciodvfy", {volume});
  ASSERT_NE(check.status, -1) << "dciodvfy (dicom3tools) is missing";
  const std::string said = check.out + check.err;
  EXPECT_EQ(said.find("Error"), std::string::npos) << said;
  EXPECT_NE(said.find("NMImage"), std::string::npos) << said;
  const Outcome place = run("/usr/bin/python3", {SINORA_CHECK_GE, volume, data + "/CT", dir});
  EXPECT_EQ(place.status, 0) << place.out << place.err;
  std::printf("%s", place.out.c_str());
}

}  // namespace

#include <sys/mount.h>

namespace {

// An Interfile study of 2 views of 4 x 4 whose data file has the given name.
std::string interfileIn(const std::string& dir, const std::string& dataName) {
  std::ofstream(dir + "/study.hs")
      << "!INTERFILE :=\n!imaging modality := nucmed\nname of data file := " << dataName
      << "\n!type of data := Tomographic\n!number format := unsigned integer\n"
         "!number of bytes per pixel := 1\n!matrix size [1] := 4\n!matrix size [2] := 4\n"
         "!number of projections := 2\n!END OF INTERFILE :=\n";
  std::ofstream(dir + "/" + dataName, std::ios::binary) << std::string(32, '\x05');
  return dir + "/study.hs";
}

TEST_F(Tools, RenderProtectsEveryFileTheStudyWasReadFrom) {
  // The data file is named as an output and stands in the output folder: refused, untouched.
  const std::string out = dir + "/out";
  ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
  const std::string header = interfileIn(out, "fbp.png");
  const std::string before = slurp(out + "/fbp.png");
  const Outcome r = run(SINORA_RENDER, {header, "--out", out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("fbp.png"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(out + "/fbp.png"), before);
  EXPECT_FALSE(exists(out + "/projection.png"));
  // Elsewhere the same study renders.
  EXPECT_EQ(run(SINORA_RENDER, {header, "--out", dir + "/other"}).status, 0);
}

TEST_F(Tools, RenderWritesEveryOutputOrNone) {
  // A pipe where an output goes: refused before anything is written, and left a pipe.
  const std::string out = dir + "/out";
  ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((out + "/profile.csv").c_str(), 0644), 0);
  std::ofstream(out + "/projection.png") << "old";
  const Outcome piped = run(SINORA_RENDER, {"--out", out});
  EXPECT_EQ(piped.status, 1);
  EXPECT_NE(piped.err.find("profile.csv"), std::string::npos) << piped.err;
  struct stat st {};
  ASSERT_EQ(::lstat((out + "/profile.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(slurp(out + "/projection.png"), "old");
  EXPECT_FALSE(exists(out + "/fbp.png"));

  // A disk that fills up part way: no output is renamed into place, none is left half made.
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs as a full disk needs root";
  const std::string full = dir + "/full";
  ASSERT_EQ(::mkdir(full.c_str(), 0755), 0);
  if (::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=40k") != 0) GTEST_SKIP() << "cannot mount a tmpfs";
  std::ofstream(full + "/projection.png") << "old";
  const Outcome filled = run(SINORA_RENDER, {"--out", full, "--values"});
  std::string ls;
  {
    const std::string list = dir + "/.ls";
    (void)std::system(("ls -A '" + full + "' > '" + list + "'").c_str());
    ls = slurp(list);
  }
  const std::string kept = slurp(full + "/projection.png");
  ::umount2(full.c_str(), MNT_DETACH);
  EXPECT_EQ(filled.status, 1);
  EXPECT_NE(filled.err.find("No space left"), std::string::npos) << filled.err;
  EXPECT_EQ(ls, "projection.png\n");
  EXPECT_EQ(kept, "old");
}

TEST_F(Tools, RenderSkipsAHugeRawHeaderWithoutHoldingIt) {
  // 999,999,999,999 header bytes (a hole in the file), then 60 views of 128 x 128.
  const std::string study = dir + "/sparse.dat";
  std::ofstream(study) << "";
  ASSERT_EQ(::truncate(study.c_str(), off_t(999999999999ll + 1966080)), 0);
  const Outcome r = run(SINORA_RENDER, {study, "--out", dir + "/o", "--raw-header", "999999999999"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(exists(dir + "/o/fbp.png"));
  // One count short: refused with the size it needs.
  ASSERT_EQ(::truncate(study.c_str(), off_t(999999999999ll + 1966079)), 0);
  const Outcome shortOne = run(SINORA_RENDER, {study, "--out", dir + "/p", "--raw-header", "999999999999"});
  EXPECT_EQ(shortOne.status, 1) << shortOne.err;
  EXPECT_NE(shortOne.err.find("1000001966079"), std::string::npos) << shortOne.err;
  EXPECT_FALSE(exists(dir + "/p"));
}

}  // namespace
