// CSinoraApp: start-up. Settings under "Local AppWizard-Generated Applications"/"Sinora", the
// recent-file list of four, the one document, the frame with its view; then the command line's
// study, if any. A study named on the command line that cannot be opened ends start-up.
#pragma once

#include <QString>

#include <memory>

#include <QSettings>
class CMainFrame;
class CSinoraDoc;

class CSinoraApp {
 public:
  // settings: where settings live (the per-user default when null).
  explicit CSinoraApp(std::unique_ptr<QSettings> settings = nullptr);
  ~CSinoraApp();

  // Creates document, frame and view and opens `studyFile` if given. On failure returns false
  // with the reason in `error`; the frame is then not shown.
  // `studyFile` is the name as the system gave it (raw bytes); a QString is encoded first.
  bool InitInstance(const QByteArray& studyFile, QString* error, bool show = true);
  bool InitInstance(const QString& studyFile, QString* error, bool show = true);

  CMainFrame* mainFrame() const { return frame_.get(); }
  CSinoraDoc* document() const { return doc_.get(); }
  QSettings* settings() const { return settings_.get(); }

  static const char kRegistryKey[];
  static const char kAppName[];
  static const char kVersion[];

 private:
  std::unique_ptr<QSettings> settings_;
  std::unique_ptr<CSinoraDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};
