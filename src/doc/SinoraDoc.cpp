#include "doc/SinoraDoc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "formats/ct.h"
#include "formats/formats.h"
#include "platform/tr.h"
#include "imaging/sample_study.h"

CSinoraDoc::CSinoraDoc(QObject* parent)
    : QObject(parent), study_(sinora::sampleStudy()) {}

QString CSinoraDoc::untitledName() { return sinora::T("無題"); }

QString CSinoraDoc::GetTitle() const {
  switch (kind_) {
    case TitleKind::Untitled: return untitledName();
    case TitleKind::Made: return sinora::T("ファントム: %1").arg(sinora::T(title_.toUtf8().constData()));
    case TitleKind::File: break;
  }
  return title_;
}

bool CSinoraDoc::OnNewDocument() {
  path_.clear();
  kind_ = TitleKind::Untitled;
  emit titleChanged(GetTitle());
  return true;
}

void CSinoraDoc::setStudy(sinora::StudyPtr study) {
  study_ = std::move(study);
  path_.clear();
  kind_ = TitleKind::Untitled;
  emit titleChanged(GetTitle());
}

void CSinoraDoc::setMadeStudy(sinora::StudyPtr study, const QString& name) {
  previous_ = {study_, kind_, title_, path_};
  study_ = std::move(study);
  path_.clear();
  title_ = name;
  kind_ = TitleKind::Made;
  emit titleChanged(GetTitle());
  emit previousChanged(true);
}

bool CSinoraDoc::restorePrevious() {
  if (!previous_.study) return false;
  study_ = previous_.study;
  kind_ = previous_.kind;
  title_ = previous_.title;
  path_ = previous_.path;
  forgetPrevious();
  emit titleChanged(GetTitle());
  return true;
}

void CSinoraDoc::forgetPrevious() {
  if (!previous_.study) return;
  previous_ = {};
  emit previousChanged(false);
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
  return take(sinora::formats::readAnyStudy(path.toStdString()), path, error, true);
}

bool CSinoraDoc::take(const sinora::StudyReadResult& read, const QByteArray& path, QString* error,
                      bool shaped) {
  cancelled_ = false;
  if (!read.study) {
    if (error) *error = sinora::TM(read.error);
    return false;
  }
  sinora::StudyPtr study = read.study;
  if (shaped && shaper_) {
    study = shaper_(study, absoluteNativePath(path));
    if (!study) {
      cancelled_ = true;
      if (error) error->clear();
      return false;
    }
  }
  forgetPrevious();
  study_ = std::move(study);
  path_ = absoluteNativePath(path);
  const int slash = path_.lastIndexOf('/');
  title_ = displayName(path_.mid(slash + 1));
  kind_ = TitleKind::File;
  emit titleChanged(GetTitle());
  return true;
}

bool CSinoraDoc::OnOpenAttenuation(const QByteArray& path, QString* error) {
  const sinora::formats::AttenuationReadResult read =
      sinora::formats::readAttenuation(path.toStdString(), sinora::formats::sliceGridOf(*study_));
  if (!read.source) {
    if (error) *error = sinora::TM(read.error);
    return false;
  }
  attenuation_ = read.source;
  emit attenuationChanged();
  return true;
}

std::shared_ptr<const sinora::AttenuationSource> CSinoraDoc::attenuationFor(const sinora::ProjectionStudy& study,
                                                                             QString* error) {
  if (!attenuation_) return nullptr;
  const sinora::SliceGrid grid = sinora::formats::sliceGridOf(study);
  if (sinora::sourceCovers(*attenuation_, grid)) return attenuation_;
  // Read for another study's grid: the series again, for this one (the document keeps the
  // first; a window keeps what it asked for).
  const sinora::formats::AttenuationReadResult read = sinora::formats::readAttenuation(attenuation_->path, grid);
  if (!read.source) {
    if (error) *error = sinora::TM(read.error);
    return nullptr;
  }
  return read.source;
}

bool CSinoraDoc::chooseEnergyWindow(int window) {
  sinora::StudyPtr chosen = sinora::withEnergyWindow(*study_, window);
  if (!chosen) return false;
  study_ = std::move(chosen);
  emit titleChanged(GetTitle());  // the study line names the window
  return true;
}
