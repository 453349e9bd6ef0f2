// CSinoraDoc: the study document. It owns the ProjectionStudy that the reconstruction window
// reads. Opening is all or nothing: a file that cannot be read leaves study and title as they
// were. Before any file is opened the study is the built-in sample study. Nothing writes a file.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <functional>

#include "formats/raw.h"
#include "imaging/mu_map.h"
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
  // Given each study OnOpenDocument reads (and the file's absolute path) before it becomes the
  // document's: the study to take instead, or null to leave everything as it was (the opening
  // then fails with no error: openCancelled() is true).
  using Shaper = std::function<sinora::StudyPtr(const sinora::StudyPtr& read, const QByteArray& path)>;
  void setShaper(Shaper shaper) { shaper_ = std::move(shaper); }
  bool openCancelled() const { return cancelled_; }

  // The document's title: the file name, the untitled name, or "ファントム: <name>", in the
  // language chosen now.
  QString GetTitle() const;
  // Makes `study` the document's study, untitled (for studies made in the program).
  void setStudy(sinora::StudyPtr study);
  // Makes `study` the document's study with no file, titled "ファントム: <name>" (a phantom the
  // program made; `name` as the phantom lab writes it).
  void setMadeStudy(sinora::StudyPtr study, const QString& name);
  // The study a made one replaced, one step back: restorePrevious puts it, its title and path
  // back. Opening a file forgets it.
  bool canRestorePrevious() const { return previous_.study != nullptr; }
  bool restorePrevious();
  // The CT or mu map kept with the document (null: none); it stays when another study opens.
  std::shared_ptr<const sinora::AttenuationSource> attenuation() const { return attenuation_; }
  // Opens a CT series (a folder or one file of it) or an Interfile mu map for the current
  // study's grid; all or nothing: on failure `error` says why and the one in use stays.
  bool OnOpenAttenuation(const QByteArray& path, QString* error);
  // The CT or mu map for a study: the one kept, or (a CT read only as far as another grid
  // reached) the same series read again for this study's grid. Null with `error` when there is
  // none or it cannot be read again.
  std::shared_ptr<const sinora::AttenuationSource> attenuationFor(const sinora::ProjectionStudy& study,
                                                                  QString* error);

  // The same study with the counts of its energy window `window` (0-based): title, path and the
  // study a made one replaced stay as they are. False, with nothing changed, when there is none.
  bool chooseEnergyWindow(int window);
  // The opened file's absolute path, as the system's bytes; empty when untitled.
  QByteArray GetPathName() const { return path_; }
  static QString untitledName();
  static QByteArray absoluteNativePath(const QByteArray& path);
  // A file name for showing (bytes that are not UTF-8 shown as replacement characters).
  static QString displayName(const QByteArray& nativePath);

 signals:
  void titleChanged(const QString& title);
  void attenuationChanged();
  void previousChanged(bool canRestore);

 private:
  bool take(const sinora::StudyReadResult& read, const QByteArray& path, QString* error,
            bool shaped = false);
  sinora::StudyPtr study_;
  Shaper shaper_;
  bool cancelled_ = false;
  enum class TitleKind { Untitled, File, Made };
  TitleKind kind_ = TitleKind::Untitled;
  QString title_;  // the file's name, or the made study's
  QByteArray path_;
  struct Saved {
    sinora::StudyPtr study;
    TitleKind kind = TitleKind::Untitled;
    QString title;
    QByteArray path;
  } previous_;
  void forgetPrevious();
  std::shared_ptr<const sinora::AttenuationSource> attenuation_;
};
