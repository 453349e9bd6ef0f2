#include "doc/SinoraDoc.h"

#include <QFileInfo>

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

bool CSinoraDoc::OnOpenDocument(const QString& path, QString* error) {
  const sinora::StudyReadResult read = sinora::readStudyFile(QFile::encodeName(path).toStdString());
  if (!read.study) {
    if (error) *error = QString::fromStdString(read.error);
    return false;
  }
  study_ = read.study;
  path_ = QFileInfo(path).absoluteFilePath();
  title_ = QFileInfo(path).fileName();
  emit titleChanged(title_);
  return true;
}
