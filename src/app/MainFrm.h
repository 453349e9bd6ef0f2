// CMainFrame: the main window with its menu bar, toolbar and status bar. Commands are actions
// made from one table (text, shortcuts, prompt, icon) and found by their command identifier.
#pragma once

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

#include "app/language.h"
#include "formats/raw.h"
#include "windows/OpenWayDialog.h"

class QAction;
class QFontMetrics;
class QLabel;
class QMenu;
class QMenuBar;
class QPrinter;
class QSettings;
class CRecentFileList;
class CSinoraDoc;
class CSinoraView;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  CMainFrame(CSinoraDoc* doc, QSettings* settings, QWidget* parent = nullptr);
  ~CMainFrame() override;

  QAction* action(int commandId) const { return actions_.value(commandId); }
  CSinoraView* view() const { return view_; }
  QToolBar* toolBar() const { return toolBar_; }
  QMenu* fileMenu() const { return fileMenu_; }
  QLabel* messagePane() const { return messagePane_; }
  const CRecentFileList& recentFiles() const { return *recent_; }
  // Actions of the recent-file entries as the File menu shows them now.
  QList<QAction*> recentFileActions() const;

  // Opens a study; a failure changes nothing and is reported through the error reporter, or
  // handed back in `error` when that is given. `ask`: whether the opening dialog is shown (a
  // study of a file otherwise opens the way remembered for it); cancelling it fails the opening
  // with no error (document()->openCancelled()).
  bool OpenDocumentFile(const QByteArray& path, QString* error = nullptr, OpenAsk ask = OpenAsk::Never);
  bool OpenDocumentFile(const QString& path, QString* error = nullptr, OpenAsk ask = OpenAsk::Never);
  // How an opening the student starts asks: again with Shift held, else for a file not seen.
  static OpenAsk askFromKeys();
  // The recent entries' menu text: the path shortened in the middle to fit the menu.
  static QString recentMenuText(const QString& path, const QFontMetrics& metrics);
  static constexpr int kRecentMenuWidth = 360;  // pixels
  QPrinter* printer() const { return printer_.get(); }
  // How failures are shown (a message box unless replaced, e.g. by tests).
  void setErrorReporter(std::function<void(const QString&)> reporter) { report_ = std::move(reporter); }
  // How import notes are shown (an information box unless replaced).
  void setNoteReporter(std::function<void(const QString&)> reporter) { inform_ = std::move(reporter); }

 public slots:
  void OnFileNew();
  void OnFileOpen();
  void OnFilePrintSetup();
  void OnAppAbout();
  void OnOpenRecentFile(const QByteArray& path);
  void OnOpenRaw();
  void OnOpenAttenuation();
  void OnOpenWay();  // the open study's file again, through the opening dialog
  void OnPhantom();
  void OnLessons();  // 応用 > レッスン: the lesson panel
  // Makes a phantom's study the document's (what "作成" of the phantom lab ends in).
  void usePhantom(sinora::StudyPtr study);

 public:
  // Opens a CT series (a folder or one file of it) or an Interfile mu map into the document;
  // a failure changes nothing and is reported (or handed back in `error`).
  bool OpenAttenuation(const QByteArray& path, QString* error = nullptr);
  // Where "CT / μマップを開く" asks for the file (a file dialog unless replaced, e.g. by tests).
  std::function<QString()> askAttenuationPath;
  // Opens raw counts of a layout; as OpenDocumentFile, but the file stays out of the recent list.
  bool OpenRawFile(const QByteArray& path, const sinora::formats::RawLayout& layout,
                   QString* error = nullptr);
  QMenu* appliedMenu() const { return applied_; }
  QMenu* languageMenu() const { return languageMenu_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QAction* makeAction(int id, const char* text, const QList<QKeySequence>& keys = {});
  QMenu* addMenu(QMenuBar* bar, const char* title);
  void chooseLanguage(sinora::Language language);
  void markLanguage();
  // Every text again from its Japanese source, in the language now chosen.
  void retranslate();
  void changeEvent(QEvent* event) override;
  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  void updateRecentFileMenu();
  void updateTitle();
  void opened();  // after any successful open
  void updateOpenWayCommand();

  CSinoraDoc* doc_;
  QSettings* settings_;
  std::unique_ptr<CRecentFileList> recent_;
  std::unique_ptr<QPrinter> printer_;
  CSinoraView* view_ = nullptr;
  QHash<int, QAction*> actions_;
  QHash<int, const char*> sources_;  // each action's text as written
  QList<QPair<QMenu*, const char*>> menuSources_;
  QList<QLabel*> indicators_;
  QMenu* languageMenu_ = nullptr;
  QList<QAction*> languageActions_;
  QMenu* fileMenu_ = nullptr;
  QMenu* applied_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QLabel* messagePane_ = nullptr;
  QAction* recentPlaceholder_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QList<QAction*> recentActions_;
  std::function<void(const QString&)> report_;
  std::function<void(const QString&)> inform_;
  OpenAsk ask_ = OpenAsk::Never;  // for the opening under way
  bool notesShown_ = false;       // the opening dialog showed the import's notes
};
