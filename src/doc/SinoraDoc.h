// CSinoraDoc: the study document. It owns the ProjectionStudy that the reconstruction window
// reads. Opening is all or nothing: a file that cannot be read leaves study and title as they
// were. Before any file is opened the study is the built-in sample study. Nothing writes a file.
#pragma once

#include <QObject>
#include <QString>

#include "imaging/study.h"

class CSinoraDoc : public QObject {
  Q_OBJECT
 public:
  explicit CSinoraDoc(QObject* parent = nullptr);

  // The study as it stands now; readers take it afresh at each computation.
  sinora::StudyPtr ProjectionStudy() const { return study_; }

  // New: only the title and path are reset; the study stays.
  bool OnNewDocument();
  // Open: reads the whole file first; on failure `error` says why and nothing changes.
  bool OnOpenDocument(const QString& path, QString* error);

  // The document's title: the file name, or the untitled name.
  QString GetTitle() const { return title_; }
  QString GetPathName() const { return path_; }
  static QString untitledName();

 signals:
  void titleChanged(const QString& title);

 private:
  sinora::StudyPtr study_;
  QString title_;
  QString path_;
};
