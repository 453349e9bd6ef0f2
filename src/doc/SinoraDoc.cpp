#include "doc/SinoraDoc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "formats/formats.h"
#include "imaging/sample_study.h"

CSinoraDoc::CSinoraDoc(QObject* parent)
    : QObject(parent), study_(sinora::sampleStudy()), title_(untitledName()) {}

QString CSinoraDoc::untitledName() { return QStringLiteral("無題"); }

bool CSinoraDoc::OnNewDocument() {
  path_.clear();
  title_ = untitledName();
  emit titleChanged(title_);
  return true;
}

void CSinoraDoc::setStudy(sinora::StudyPtr study) {
  study_ = std::move(study);
  path_.clear();
  title_ = untitledName();
  emit titleChanged(title_);
}

void CSinoraDoc::setMadeStudy(sinora::StudyPtr study, const QString& title) {
  study_ = std::move(study);
  path_.clear();
  title_ = title;
  emit titleChanged(title_);
}

bool CSinoraDoc::OnOpenDocument(const QString& path, QString* error) {
  return OnOpenDocument(QFile::encodeName(path), error);
}

QByteArray CSinoraDoc::absoluteNativePath(const QByteArray& path) {
  const QString name = QFile::decodeName(path);
  if (QFile::encodeName(name) == path) return QFile::encodeName(QFileInfo(name).absoluteFilePath());
  // Not UTF-8: Qt cannot hold the name, so it is made absolute byte by byte.
  if (path.startsWith('/')) return path;
  return QFile::encodeName(QDir::currentPath()) + '/' + path;
}

QString CSinoraDoc::displayName(const QByteArray& nativePath) {
  return QFile::decodeName(nativePath);
}

bool CSinoraDoc::OnOpenRaw(const QByteArray& path, const sinora::formats::RawLayout& layout,
                           QString* error) {
  return take(sinora::formats::readRaw(path.toStdString(), layout), path, error);
}

bool CSinoraDoc::OnOpenDocument(const QByteArray& path, QString* error) {
  return take(sinora::formats::readAnyStudy(path.toStdString()), path, error);
}

bool CSinoraDoc::take(const sinora::StudyReadResult& read, const QByteArray& path, QString* error) {
  if (!read.study) {
    if (error) *error = QString::fromStdString(read.error);
    return false;
  }
  study_ = read.study;
  path_ = absoluteNativePath(path);
  const int slash = path_.lastIndexOf('/');
  title_ = displayName(path_.mid(slash + 1));
  emit titleChanged(title_);
  return true;
}
