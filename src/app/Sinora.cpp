#include "app/Sinora.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include "app/MainFrm.h"
#include "doc/SinoraDoc.h"
#include "view/SinoraView.h"

const char CSinoraApp::kRegistryKey[] = "Local AppWizard-Generated Applications";
const char CSinoraApp::kAppName[] = "Sinora";
const char CSinoraApp::kVersion[] = "1.0.0.1";

CSinoraApp::CSinoraApp(std::unique_ptr<QSettings> settings) : settings_(std::move(settings)) {
  if (!settings_)
    settings_ = std::make_unique<QSettings>(QString::fromLatin1(kRegistryKey),
                                            QString::fromLatin1(kAppName));
}

CSinoraApp::~CSinoraApp() {
  frame_.reset();  // the frame refers to the document
  doc_.reset();
}

bool CSinoraApp::InitInstance(const QString& studyFile, QString* error, bool show) {
  return InitInstance(QFile::encodeName(studyFile), error, show);
}

bool CSinoraApp::InitInstance(const QByteArray& studyFile, QString* error, bool show) {
  doc_ = std::make_unique<CSinoraDoc>();
  frame_ = std::make_unique<CMainFrame>(doc_.get(), settings_.get());
  if (!studyFile.isEmpty()) {
    // Shown, the program asks how a file not seen before opens; cancelled, it starts without it.
    if (!frame_->OpenDocumentFile(studyFile, error, show ? OpenAsk::IfNew : OpenAsk::Never)) {
      if (!doc_->openCancelled()) return false;
      doc_->OnNewDocument();
    }
  } else {
    doc_->OnNewDocument();
  }
  if (show) {
    frame_->show();
    frame_->view()->OnInitialUpdate();
  }
  return true;
}
