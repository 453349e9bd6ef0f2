// Saving from a window: a full disk, a pipe or device under the name, a link or a folder never
// cost the user a file, and each refusal says why. The full disk is a small tmpfs mounted here
// (as root, as CI runs); elsewhere that case is skipped with a message.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/safe_file.h"

namespace {

QByteArray slurp(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage noise(int size) {
  QImage image(size, size, QImage::Format_RGB32);
  quint32 x = 12345;
  for (int y = 0; y < size; ++y)
    for (int i = 0; i < size; ++i) image.setPixel(i, y, x = x * 1664525u + 1013904223u);
  return image;
}

mode_t kindOf(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

TEST(SafeFile, AFullDiskLeavesTheOldFileWholeAndSaysWhy) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs as a full disk needs root";
  QTemporaryDir dir;
  const QByteArray mountPoint = QFile::encodeName(dir.path());
  if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  struct Unmount {
    QByteArray at;
    ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
  } unmount{mountPoint};

  // A good PNG and CSV, then a filler that leaves less room than a new PNG needs.
  const QString png = dir.filePath(QStringLiteral("picture.png")), csv = dir.filePath(QStringLiteral("values.csv"));
  QString error;
  ASSERT_TRUE(sinora::writePngSafely(png, noise(40), &error)) << error.toStdString();
  ASSERT_TRUE(sinora::writeFileSafely(csv, QByteArray(5000, '7'), &error)) << error.toStdString();
  const QByteArray oldPng = slurp(png), oldCsv = slurp(csv);
  {
    QFile filler(dir.filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  // Room for less than a page: each save needs more. Saves smaller than Qt's 16 KiB buffer
  // fail only when it is flushed, larger ones at once.
  const struct {
    const char* what;
    std::function<bool(QString*)> save;
    QString path;
    QByteArray before;
  } cases[] = {
      {"PNG", [&](QString* e) { return sinora::writePngSafely(png, noise(200), e); }, png, oldPng},
      {"small PNG", [&](QString* e) { return sinora::writePngSafely(png, noise(50), e); }, png, oldPng},
      {"CSV", [&](QString* e) { return sinora::writeFileSafely(csv, QByteArray(200000, '1'), e); }, csv, oldCsv},
      {"small CSV", [&](QString* e) { return sinora::writeFileSafely(csv, QByteArray(12000, '1'), e); }, csv, oldCsv},
  };
  for (const auto& c : cases) {
    error.clear();
    EXPECT_FALSE(c.save(&error)) << c.what;
    EXPECT_FALSE(error.isEmpty()) << c.what;
    EXPECT_EQ(sinora::lastWriteError(), error) << c.what;
    EXPECT_EQ(slurp(c.path), c.before) << c.what << ": the old file changed";
  }
  EXPECT_FALSE(QImage(png).isNull());
  // No temporary file is left behind.
  const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(left, (QStringList{QStringLiteral("filler"), QStringLiteral("picture.png"), QStringLiteral("values.csv")}));
}

TEST(SafeFile, PipesDevicesAndFoldersAreRefusedLinksReplaced) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("fifo.csv"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
  const QString folder = dir.filePath(QStringLiteral("folder.png"));
  ASSERT_TRUE(QDir().mkdir(folder));
  struct Case {
    QString path;
    mode_t kind;
  };
  std::vector<Case> cases = {{fifo, S_IFIFO}, {folder, S_IFDIR}};
  // A device node of our own (the null device's numbers), never a real one of the system.
  const QString device = dir.filePath(QStringLiteral("null.png"));
  if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
    cases.push_back({device, S_IFCHR});
  else
    std::printf("(no device node: %s; that case is skipped)\n", std::strerror(errno));
  for (const Case& c : cases) {
    QString error;
    EXPECT_FALSE(sinora::writeFileSafely(c.path, "a,b\n", &error)) << c.path.toStdString();
    EXPECT_FALSE(sinora::writePngSafely(c.path, noise(4), &error)) << c.path.toStdString();
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(kindOf(c.path), c.kind) << c.path.toStdString() << ": replaced";
  }
  // A link is replaced by the file; what it pointed to is untouched.
  const QString target = dir.filePath(QStringLiteral("precious.txt")), link = dir.filePath(QStringLiteral("out.csv"));
  ASSERT_TRUE(sinora::writeFileSafely(target, "mine", nullptr));
  ASSERT_TRUE(QFile::link(target, link));
  QString error;
  ASSERT_TRUE(sinora::writeFileSafely(link, "1,2\n", &error)) << error.toStdString();
  EXPECT_EQ(kindOf(link), mode_t(S_IFREG));
  EXPECT_EQ(slurp(link), "1,2\n");
  EXPECT_EQ(slurp(target), "mine");
  // A dangling link too.
  const QString dangling = dir.filePath(QStringLiteral("gone.png"));
  ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere/x.png")), dangling));
  ASSERT_TRUE(sinora::writePngSafely(dangling, noise(4), &error)) << error.toStdString();
  EXPECT_EQ(kindOf(dangling), mode_t(S_IFREG));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files | QDir::System).filter(QStringLiteral(".out")).size(), 0);
}

}  // namespace
