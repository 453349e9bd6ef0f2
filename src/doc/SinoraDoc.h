// CSinoraDoc: the study document. It owns the ProjectionStudy that the reconstruction window
// reads. Opening is all or nothing: a file that cannot be read leaves study and title as they
// were. Before any file is opened the study is the built-in sample study. Nothing writes a file.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "formats/raw.h"
#include "imaging/study.h"

class CSinoraDoc : public QObject {
  Q_OBJECT
 public:
  explicit CSinoraDoc(QObject* parent = nullptr);

  // The study as it stands now; readers take it afresh at each computation.
  sinora::StudyPtr ProjectionStudy() const { return study_; }

  // New: only the title and path are reset; the study stays.
  bool OnNewDocument();
  // Open: reads the whole file first; on failure `error` says why and nothing changes. The
  // path is kept as the system's bytes, so that a name that is not UTF-8 opens too.
  bool OnOpenDocument(const QByteArray& path, QString* error);
  bool OnOpenDocument(const QString& path, QString* error);
  // Opens raw counts of the given layout, all or nothing as above.
  bool OnOpenRaw(const QByteArray& path, const sinora::formats::RawLayout& layout, QString* error);

  // The document's title: the file name, or the untitled name.
  QString GetTitle() const { return title_; }
  // Makes `study` the document's study, untitled (for studies made in the program).
  void setStudy(sinora::StudyPtr study);
  // Makes `study` the document's study under `title`, with no file (a phantom the program made).
  void setMadeStudy(sinora::StudyPtr study, const QString& title);
  // The opened file's absolute path, as the system's bytes; empty when untitled.
  QByteArray GetPathName() const { return path_; }
  static QString untitledName();
  static QByteArray absoluteNativePath(const QByteArray& path);
  // A file name for showing (bytes that are not UTF-8 shown as replacement characters).
  static QString displayName(const QByteArray& nativePath);

 signals:
  void titleChanged(const QString& title);

 private:
  bool take(const sinora::StudyReadResult& read, const QByteArray& path, QString* error);
  sinora::StudyPtr study_;
  QString title_;
  QByteArray path_;
};
