#include "app/MainFrm.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>

#include "app/AboutDlg.h"
#include "app/energy_window_menu.h"
#include "app/language.h"
#include "app/RecentFileList.h"
#include "doc/SinoraDoc.h"
#include "formats/ct.h"
#include "res/icons.h"
#include "res/resource.h"
#include "platform/tr.h"
#include "res/strings.h"
#include "view/SinoraView.h"
#include "imaging/phantom.h"
#include "windows/ComparisonBoard.h"
#include "windows/LessonPanel.h"
#include "windows/PhantomWindow.h"
#include "windows/RawOpenDialog.h"

using namespace sinora::res;
using sinora::T;

CMainFrame::CMainFrame(CSinoraDoc* doc, QSettings* settings, QWidget* parent)
    : QMainWindow(parent),
      doc_(doc),
      settings_(settings),
      recent_(std::make_unique<CRecentFileList>(settings)),
      printer_(std::make_unique<QPrinter>()) {
  setWindowIcon(applicationIcon());
  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  view_ = new CSinoraView(doc_, this);
  view_->setPrinter(printer_.get());  // Print and Print preview use what printer set-up chose
  setCentralWidget(view_);
  connect(doc_, &CSinoraDoc::titleChanged, this, &CMainFrame::updateTitle);
  report_ = [this](const QString& message) {
    QMessageBox::warning(this, loadString(AFX_IDS_APP_TITLE), message);
  };
  inform_ = [this](const QString& message) {
    QMessageBox::information(this, loadString(AFX_IDS_APP_TITLE), message);
  };
  // A study of a file opens the way remembered for it, or the way the student chooses.
  doc_->setShaper([this](const sinora::StudyPtr& read, const QByteArray& path) {
    bool asked = false;
    sinora::StudyPtr study = chooseOpenWay(this, settings_, path, read, ask_, &asked);
    notesShown_ = asked && study;
    return study;
  });
  setAcceptDrops(true);  // a study dropped on the window opens
  resize(800, 600);
  updateTitle();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::makeAction(int id, const char* text, const QList<QKeySequence>& keys) {
  auto* a = new QAction(T(text), this);
  sources_.insert(id, text);
  a->setData(id);
  a->setShortcuts(keys);
  a->setStatusTip(statusPrompt(id));
  const QString tip = toolTipPrompt(id);
  if (!tip.isEmpty()) a->setToolTip(tip);
  switch (id) {
    case ID_FILE_NEW: case ID_FILE_OPEN: case ID_FILE_SAVE: case ID_EDIT_CUT: case ID_EDIT_COPY:
    case ID_EDIT_PASTE: case ID_FILE_PRINT: case ID_APP_ABOUT:
      a->setIcon(toolbarIcon(id));
      break;
    default:
      break;
  }
  addAction(a);  // shortcuts work wherever the focus is in the frame
  actions_.insert(id, a);
  return a;
}

void CMainFrame::createActions() {
  using K = QKeySequence;
  connect(makeAction(ID_FILE_NEW, "新規作成(&N)", {K(Qt::CTRL | Qt::Key_N)}),
          &QAction::triggered, this, &CMainFrame::OnFileNew);
  connect(makeAction(ID_FILE_OPEN, "開く(&O)...\tCtrl+O", {K(Qt::CTRL | Qt::Key_O)}),
          &QAction::triggered, this, &CMainFrame::OnFileOpen);
  // Nothing in the program writes a study file: Save stays disabled.
  makeAction(ID_FILE_SAVE, "上書き保存(&S)", {K(Qt::CTRL | Qt::Key_S)})
      ->setEnabled(false);
  makeAction(ID_FILE_PRINT, "印刷(&P)...\tCtrl+P", {K(Qt::CTRL | Qt::Key_P)});
  makeAction(ID_FILE_PRINT_PREVIEW, "印刷ﾌﾟﾚﾋﾞｭｰ(&V)");
  connect(makeAction(ID_FILE_PRINT_SETUP, "ﾌﾟﾘﾝﾀの設定(&R)..."), &QAction::triggered,
          this, &CMainFrame::OnFilePrintSetup);
  connect(makeAction(ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"), &QAction::triggered, this,
          &QWidget::close);
  connect(makeAction(ID_APP_ABOUT, "Sinora のﾊﾞｰｼﾞｮﾝ情報(&A)..."),
          &QAction::triggered, this, &CMainFrame::OnAppAbout);
  makeAction(ID_IMAGE_DISPLAY, "画像表示");
  makeAction(ID_ITERATIVE, "逐次近似再構成(&O)...");
  makeAction(ID_FILTER_ANALYSIS, "フィルタ解析(&F)...");
  connect(makeAction(ID_PHANTOM, "ファントム実験(&P)..."), &QAction::triggered, this,
          &CMainFrame::OnPhantom);
  connect(makeAction(ID_COMPARISON_BOARD, "比較ボード(&C)..."), &QAction::triggered, this, [] {
    ComparisonBoard* board = ComparisonBoard::instance();
    board->show();
    board->raise();
    board->activateWindow();
  });
  connect(makeAction(ID_OPEN_RAW, "生ﾃﾞｰﾀを開く(&R)..."), &QAction::triggered, this,
          &CMainFrame::OnOpenRaw);
  connect(makeAction(ID_OPEN_WAY, "開き方(&W)..."), &QAction::triggered, this, &CMainFrame::OnOpenWay);
  connect(makeAction(ID_LESSONS, "レッスン(&L)..."), &QAction::triggered, this, &CMainFrame::OnLessons);
  connect(makeAction(ID_OPEN_CT, "CT / μマップを開く"), &QAction::triggered, this,
          &CMainFrame::OnOpenAttenuation);
  makeAction(ID_BASIC, "基本");
  // Commands that nothing handles: present for their keys and buttons, always disabled.
  const struct {
    int id;
    const char* text;
    QList<QKeySequence> keys;
  } unhandled[] = {
      {ID_EDIT_UNDO, "元に戻す(&U)", {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)}},
      {ID_EDIT_CUT, "切り取り(&T)", {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)}},
      {ID_EDIT_COPY, "ｺﾋﾟｰ(&C)", {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}},
      {ID_EDIT_PASTE, "貼り付け(&P)", {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)}},
      {ID_NEXT_PANE, "次のﾍﾟｲﾝ", {K(Qt::Key_F6)}},
      {ID_PREV_PANE, "前のﾍﾟｲﾝ", {K(Qt::SHIFT | Qt::Key_F6)}},
  };
  for (const auto& u : unhandled) makeAction(u.id, u.text, u.keys)->setEnabled(false);
}

void CMainFrame::createMenus() {
  QMenuBar* bar = menuBar();
  fileMenu_ = addMenu(bar, "ﾌｧｲﾙ(&F)");
  fileMenu_->addAction(action(ID_FILE_OPEN));
  fileMenu_->addSeparator();
  fileMenu_->addAction(action(ID_FILE_PRINT));
  fileMenu_->addAction(action(ID_FILE_PRINT_PREVIEW));
  fileMenu_->addAction(action(ID_FILE_PRINT_SETUP));
  fileMenu_->addSeparator();
  recentPlaceholder_ = fileMenu_->addAction(T("最近使ったﾌｧｲﾙ"));
  recentPlaceholder_->setEnabled(false);
  recentPlaceholder_->setStatusTip(statusPrompt(ID_FILE_MRU_FILE1));
  for (int i = 0; i < 4; ++i) {
    auto* a = new QAction(this);
    a->setVisible(false);
    a->setStatusTip(statusPrompt(ID_FILE_MRU_FILE1 + i));
    connect(a, &QAction::triggered, this, [this, a] { OnOpenRecentFile(a->data().toByteArray()); });
    fileMenu_->addAction(a);
    recentActions_.append(a);
  }
  recentSeparator_ = fileMenu_->addSeparator();
  fileMenu_->addAction(action(ID_APP_EXIT));
  bar->addAction(action(ID_IMAGE_DISPLAY));
  bar->addAction(action(ID_BASIC));
  // Commands beyond the two experience windows.
  applied_ = addMenu(bar, "応用(&A)");
  applied_->addAction(action(ID_ITERATIVE));
  applied_->addAction(action(ID_FILTER_ANALYSIS));
  applied_->addAction(action(ID_PHANTOM));
  applied_->addAction(action(ID_COMPARISON_BOARD));
  applied_->addAction(action(ID_LESSONS));
  applied_->addSeparator();
  applied_->addAction(action(ID_OPEN_RAW));
  applied_->addAction(action(ID_OPEN_CT));
  addEnergyWindowMenu(applied_, doc_, statusBar(), settings_);
  applied_->addAction(action(ID_OPEN_WAY));
  updateOpenWayCommand();
  QMenu* help = addMenu(bar, "ﾍﾙﾌﾟ(&H)");
  help->addAction(action(ID_APP_ABOUT));
  // The same words in both languages, so that either can find the other.
  languageMenu_ = help->addMenu(QStringLiteral("Language / 言語"));
  auto* choice = new QActionGroup(this);
  for (const auto& [language, name] : {std::pair{sinora::Language::Japanese, "日本語"}, {sinora::Language::English, "English"}}) {
    QAction* a = languageMenu_->addAction(QString::fromUtf8(name));
    a->setCheckable(true);
    a->setData(int(language));
    choice->addAction(a);
    connect(a, &QAction::triggered, this, [this, language] { chooseLanguage(language); });
    languageActions_.append(a);
  }
  markLanguage();
  updateRecentFileMenu();
}

QMenu* CMainFrame::addMenu(QMenuBar* bar, const char* title) {
  QMenu* m = bar->addMenu(T(title));
  menuSources_.append({m, title});
  return m;
}

void CMainFrame::chooseLanguage(sinora::Language language) {
  sinora::setLanguage(language);  // every window is told by a LanguageChange event
  sinora::rememberLanguage(settings_, language);
  markLanguage();
}

void CMainFrame::markLanguage() {
  for (QAction* a : languageActions_) a->setChecked(a->data().toInt() == int(sinora::currentLanguage()));
}

void CMainFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::LanguageChange && view_) retranslate();
}

void CMainFrame::retranslate() {
  for (auto it = sources_.constBegin(); it != sources_.constEnd(); ++it) {
    QAction* a = actions_.value(it.key());
    a->setText(T(it.value()));
    a->setStatusTip(statusPrompt(it.key()));
    a->setToolTip(toolTipPrompt(it.key()));  // empty: Qt's own, from the text
  }
  for (const auto& [menu, title] : menuSources_) menu->setTitle(T(title));
  recentPlaceholder_->setText(T("最近使ったﾌｧｲﾙ"));
  recentPlaceholder_->setStatusTip(statusPrompt(ID_FILE_MRU_FILE1));
  messagePane_->setText(statusPrompt(AFX_IDS_IDLEMESSAGE));
  for (QLabel* pane : indicators_) pane->setText(loadString(pane->property("stringId").toInt()));
  updateRecentFileMenu();
  updateTitle();
  view_->updateStudyLine();
  markLanguage();
}

void CMainFrame::createToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("toolbar_0xE800"));
  toolBar_->setIconSize(QSize(16, 15));
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  for (int id : std::initializer_list<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY,
                 ID_EDIT_PASTE, 0, ID_FILE_PRINT, 0, ID_APP_ABOUT}) {
    if (id == 0) toolBar_->addSeparator();
    else toolBar_->addAction(action(id));
  }
  addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::createStatusBar() {
  QStatusBar* bar = statusBar();
  messagePane_ = new QLabel(statusPrompt(AFX_IDS_IDLEMESSAGE), bar);
  bar->addWidget(messagePane_, 1);
  for (int id : {ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL}) {
    auto* pane = new QLabel(loadString(id), bar);
    pane->setObjectName(QStringLiteral("indicator_%1").arg(id));
    pane->setProperty("stringId", id);
    indicators_.append(pane);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
    pane->setEnabled(false);  // the lock states are not known here: shown as off
    bar->addPermanentWidget(pane);
  }
}

QList<QAction*> CMainFrame::recentFileActions() const {
  QList<QAction*> shown;
  for (QAction* a : recentActions_)
    if (a->isVisible()) shown.append(a);
  return shown;
}

void CMainFrame::updateRecentFileMenu() {
  const QList<QByteArray>& files = recent_->nativeFiles();
  for (int i = 0; i < recentActions_.size(); ++i) {
    QAction* a = recentActions_[i];
    if (i < files.size()) {
      const QString whole = QDir::toNativeSeparators(CSinoraDoc::displayName(files[i]));
      QString shown = recentMenuText(whole, fileMenu_->fontMetrics());
      // A shortened entry names its whole path in the prompt.
      const QString prompt = statusPrompt(ID_FILE_MRU_FILE1 + i);
      a->setStatusTip(shown == whole ? prompt : prompt + QStringLiteral("  ") + whole);
      shown.replace(QLatin1Char('&'), QLatin1String("&&"));
      a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
      a->setData(files[i]);
      a->setVisible(true);
    } else {
      a->setVisible(false);
    }
  }
  recentPlaceholder_->setVisible(files.isEmpty());
}

QString CMainFrame::recentMenuText(const QString& path, const QFontMetrics& metrics) {
  return metrics.elidedText(path, Qt::ElideMiddle, kRecentMenuWidth);
}

void CMainFrame::updateTitle() {
  // "[*]" in a file name is text, not Qt's modified-marker placeholder.
  QString title = doc_->GetTitle() + QStringLiteral(" - ") + loadString(AFX_IDS_APP_TITLE);
  title.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
  setWindowTitle(title);
}

bool CMainFrame::OpenDocumentFile(const QString& path, QString* error, OpenAsk ask) {
  return OpenDocumentFile(QFile::encodeName(path), error, ask);
}

OpenAsk CMainFrame::askFromKeys() {
  return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier ? OpenAsk::Always : OpenAsk::IfNew;
}

void CMainFrame::OnOpenWay() {
  const sinora::StudyPtr study = doc_->ProjectionStudy();
  if (doc_->GetPathName().isEmpty() || study->geometry().format.empty()) return;
  OpenDocumentFile(doc_->GetPathName(), nullptr, OpenAsk::Always);
}

void CMainFrame::updateOpenWayCommand() {
  // Only a study read from a file other than the study file of today has a way to open.
  if (QAction* a = action(ID_OPEN_WAY))
    a->setEnabled(!doc_->GetPathName().isEmpty() && !doc_->ProjectionStudy()->geometry().format.empty());
}

void CMainFrame::OnOpenRecentFile(const QByteArray& path) {
  // An entry that no longer opens leaves the list, as the framework's list does (not one whose
  // opening the student cancelled).
  if (!OpenDocumentFile(path, nullptr, askFromKeys()) && !doc_->openCancelled()) {
    recent_->remove(path);
    updateRecentFileMenu();
  }
}

void CMainFrame::OnOpenRaw() {
  RawOpenDialog dialog(settings_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  OpenRawFile(dialog.path(), dialog.rawLayout());
}

void CMainFrame::OnOpenAttenuation() {
  // One slice of a CT series stands for its series; a mu map is its Interfile header.
  const QString path = askAttenuationPath
                           ? askAttenuationPath()
                           : QFileDialog::getOpenFileName(this, T("CT / μマップを開く"), QString(),
                                                          T("CT のスライスか μ マップ (*.dcm *.DCM *.ima *.hv *.h33 *)"));
  if (!path.isEmpty()) OpenAttenuation(QFile::encodeName(path));
}

bool CMainFrame::OpenAttenuation(const QByteArray& path, QString* error) {
  QString why;
  // A series of hundreds of slices takes a second or two to decode.
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const bool opened = doc_->OnOpenAttenuation(path, &why);
  QGuiApplication::restoreOverrideCursor();
  if (!opened) {
    const QString message = T("%1 を開けません。\n%2")
                                .arg(QDir::toNativeSeparators(CSinoraDoc::displayName(path)), why);
    if (error) *error = message;
    else report_(message);
    return false;
  }
  // What the reading chose, and how the CT meets the study now (placed by hand when it must be).
  QStringList notes;
  for (const std::string& n : doc_->attenuation()->notes) notes << sinora::TM(n);
  const std::string placed =
      sinora::ctPlacementNote(*doc_->attenuation(), sinora::formats::sliceGridOf(*doc_->ProjectionStudy()));
  if (!placed.empty()) notes << sinora::TM(placed);
  if (!notes.isEmpty()) inform_(notes.join(QLatin1Char('\n')));
  return true;
}

void CMainFrame::OnPhantom() {
  // Modeless: the lab stays beside the windows that reconstruct what it makes.
  auto* lab = new PhantomWindow(settings_, this);
  lab->setAttribute(Qt::WA_DeleteOnClose);
  connect(lab, &PhantomWindow::studyMade, this, &CMainFrame::usePhantom);
  connect(lab, &PhantomWindow::backRequested, this, [this] {
    if (doc_->restorePrevious()) opened();
  });
  connect(doc_, &CSinoraDoc::previousChanged, lab, &PhantomWindow::setCanGoBack);
  lab->setCanGoBack(doc_->canRestorePrevious());
  lab->show();
}

void CMainFrame::OnLessons() {
  // One panel, modeless, beside the windows; its steps make studies and ask for windows.
  LessonPanel* panel = findChild<LessonPanel*>();
  if (!panel) {
    panel = new LessonPanel(settings_, this);
    connect(panel, &LessonPanel::studyMade, this, [this](sinora::StudyPtr study, const QString& name) {
      // The step says what it made: no box of import notes in the middle of a lesson.
      doc_->setMadeStudy(std::move(study), name);
      view_->OnInitialUpdate();
    });
    connect(panel, &LessonPanel::windowRequested, this, [this](const QString& name) {
      const QHash<QString, int> ids = {{"iterative", ID_ITERATIVE}, {"filter", ID_FILTER_ANALYSIS},
                                       {"phantom", ID_PHANTOM}, {"reconstruction", ID_IMAGE_DISPLAY},
                                       {"point-source", ID_BASIC}, {"comparison", ID_COMPARISON_BOARD}};
      if (QAction* a = action(ids.value(name, -1))) a->trigger();
    });
  }
  panel->show();
  panel->raise();
  panel->activateWindow();
}

void CMainFrame::usePhantom(sinora::StudyPtr study) {
  const sinora::PhantomInfo* info = sinora::phantomInfo(*study);
  const QString name = info ? QString::fromStdString(info->name) : QString();
  // No file and not in the recent-file list: nothing was written.
  doc_->setMadeStudy(std::move(study), name);
  opened();
}

bool CMainFrame::OpenRawFile(const QByteArray& path, const sinora::formats::RawLayout& layout,
                             QString* error) {
  QString why;
  if (!doc_->OnOpenRaw(path, layout, &why)) {
    const QString message = T("%1 を開けません。\n%2")
                                .arg(QDir::toNativeSeparators(CSinoraDoc::displayName(path)), why);
    if (error) *error = message;
    else report_(message);
    return false;
  }
  // Not in the recent-file list: reopening it by content would not know its layout.
  opened();
  return true;
}

void CMainFrame::opened() {
  view_->OnInitialUpdate();
  updateOpenWayCommand();
  // What the import changed or chose is said once, as the study opens (the opening dialog, when
  // shown, said it already).
  QStringList notes;
  for (const std::string& n : doc_->ProjectionStudy()->geometry().notes)
    notes << sinora::TM(n);
  if (!notes.isEmpty() && !notesShown_) inform_(notes.join(QLatin1Char('\n')));
  notesShown_ = false;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  OpenDocumentFile(urls.first().toLocalFile(), nullptr, askFromKeys());  // one study at a time: the first file
}

bool CMainFrame::OpenDocumentFile(const QByteArray& path, QString* error, OpenAsk ask) {
  QString why;
  ask_ = ask;
  notesShown_ = false;
  const bool ok = doc_->OnOpenDocument(path, &why);
  ask_ = OpenAsk::Never;
  if (!ok && doc_->openCancelled()) {  // the student chose not to open it: nothing to say
    if (error) error->clear();
    return false;
  }
  if (!ok) {
    const QString message = T("%1 を開けません。\n%2")
                                .arg(QDir::toNativeSeparators(CSinoraDoc::displayName(path)), why);
    if (error) *error = message;
    else report_(message);
    return false;
  }
  recent_->add(doc_->GetPathName());
  updateRecentFileMenu();
  opened();
  return true;
}

void CMainFrame::OnFileNew() {
  doc_->OnNewDocument();
  view_->OnInitialUpdate();
  updateOpenWayCommand();
}

void CMainFrame::OnFileOpen() {
  const QString path = QFileDialog::getOpenFileName(this, T("開く"));
  if (!path.isEmpty()) OpenDocumentFile(path, nullptr, askFromKeys());
}

void CMainFrame::OnFilePrintSetup() {
  QPrintDialog dialog(printer_.get(), this);
  dialog.setWindowTitle(T("ﾌﾟﾘﾝﾀの設定"));
  dialog.exec();  // keeps the choice in the shared printer; prints nothing
}

void CMainFrame::OnAppAbout() {
  CAboutDlg about(this);
  about.exec();
}
