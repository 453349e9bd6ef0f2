#include "windows/LessonPanel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/language.h"
#include "imaging/phantom.h"
#include "platform/tr.h"
#include "windows/IterativeWindow.h"
#include "windows/ResolutionPanel.h"
#include "windows/ScatterPanel.h"

using sinora::T;
using sinora::TM;
namespace lessons = sinora::lessons;

namespace {

// The window names of a lesson and the menu texts of the windows they open.
QString windowText(const std::string& name) {
  if (name == "iterative") return T("逐次近似再構成");
  if (name == "filter") return T("フィルタ解析");
  if (name == "phantom") return T("ファントム実験");
  if (name == "reconstruction") return T("画像表示");
  if (name == "point-source") return T("基本");
  return T("比較ボード");
}

// A formula written between $$ (or $) in the simple TeX a teacher types, shown in plain text:
// Greek letters and operators as their characters, \frac{a}{b} as (a)/(b).
QString formulaText(QString f) {
  static const QList<QPair<QString, QString>> words = {
      {"\\theta", "θ"}, {"\\varphi", "φ"}, {"\\phi", "φ"},   {"\\mu", "μ"},    {"\\sum", "Σ"},
      {"\\pi", "π"},    {"\\sigma", "σ"},  {"\\Delta", "Δ"}, {"\\cdot", "·"}, {"\\times", "×"},
      {"\\approx", "≈"}, {"\\le", "≤"},    {"\\ge", "≥"},    {"\\left", ""},  {"\\right", ""},
      {"\\,", " "},     {"\\lambda", "λ"}, {"\\infty", "∞"}, {"\\sqrt", "√"}, {"\\exp", "exp"}};
  for (int guard = 0; guard < 20; ++guard) {
    const int at = f.indexOf("\\frac{");
    if (at < 0) break;
    // The two brace groups after \frac.
    int depth = 0, k = at + 5, split = -1, end = -1;
    for (; k < f.size(); ++k) {
      if (f[k] == '{') ++depth;
      else if (f[k] == '}' && --depth == 0) {
        if (split < 0) split = k;
        else { end = k; break; }
      }
    }
    if (split < 0 || end < 0 || split + 1 >= f.size() || f[split + 1] != '{') break;
    auto group = [](const QString& g) { return g.contains(' ') || g.contains('+') || g.contains('-') ? "(" + g + ")" : g; };
    f = f.left(at) + group(f.mid(at + 6, split - at - 6)) + "/" + group(f.mid(split + 2, end - split - 2)) + f.mid(end + 1);
  }
  // Longer commands first (\left before \le).
  QList<QPair<QString, QString>> sorted = words;
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  for (const auto& [tex, text] : sorted) f.replace(tex, text);
  static const QRegularExpression sup(R"(\^\{([^{}]*)\}|\^(\S))"), sub(R"(_\{([^{}]*)\}|_(\w))");
  f.replace(sup, "<sup>\\1\\2</sup>");
  f.replace(sub, "<sub>\\1\\2</sub>");
  // Any other command (\\cos, \\sin, \\log) as its name.
  static const QRegularExpression command(R"(\\([A-Za-z]+))");
  f.replace(command, "\\1");
  f.replace("{", "").replace("}", "");
  return f.simplified();
}

// The step's Markdown as the browser shows it: formulas in plain text.
QString stepMarkdown(const std::string& title, const std::string& text) {
  QString md = QString::fromStdString(text);
  static const QRegularExpression block(R"(\$\$(.+?)\$\$)", QRegularExpression::DotMatchesEverythingOption);
  QString out;
  int last = 0;
  for (auto it = block.globalMatch(md); it.hasNext();) {
    const auto m = it.next();
    out += md.mid(last, m.capturedStart() - last) + "\n> *" + formulaText(m.captured(1)) + "*\n";
    last = m.capturedEnd();
  }
  out += md.mid(last);
  static const QRegularExpression inlineMath(R"(\$([^$\n]+)\$)");
  QString done;
  last = 0;
  for (auto it = inlineMath.globalMatch(out); it.hasNext();) {
    const auto m = it.next();
    done += out.mid(last, m.capturedStart() - last) + "*" + formulaText(m.captured(1)) + "*";
    last = m.capturedEnd();
  }
  done += out.mid(last);
  return "## " + QString::fromStdString(title) + "\n\n" + done;
}

// Rows a whole number of lines high: a name in two scripts measures 2.93 lines with its fonts'
// leading, and a row of that height was painted with two lines and an ellipsis.
class WholeLinesDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    const int line = option.fontMetrics.lineSpacing();
    if (line > 0) s.setHeight(std::max(s.height(), (s.height() + line / 2) / line * line));
    return s;
  }
};

}  // namespace

LessonPanel::LessonPanel(QSettings* settings, QWidget* parent) : QWidget(parent, Qt::Window), settings_(settings) {
  setObjectName("LessonPanel");
  list_ = new QListWidget;
  list_->setWordWrap(true);
  list_->setTextElideMode(Qt::ElideNone);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Rows are measured again whenever the list's width changes: measured once, before the panel
  // had its size, a long name kept too few lines and lost its end.
  list_->setResizeMode(QListView::Adjust);
  list_->setItemDelegate(new WholeLinesDelegate(list_));
  open_ = new QPushButton;
  folder_ = new QPushButton;
  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(list_);
  leftLayout->addWidget(open_);
  leftLayout->addWidget(folder_);

  title_ = new QLabel;
  QFont big = title_->font();
  big.setBold(true);
  title_->setFont(big);
  title_->setWordWrap(true);
  stepLabel_ = new QLabel;
  error_ = new QLabel;
  error_->setWordWrap(true);
  error_->setStyleSheet("color: #b00000;");
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  error_->hide();
  text_ = new QTextBrowser;
  text_->setOpenExternalLinks(false);
  windowRow_ = new QHBoxLayout;

  questionBox_ = new QWidget;
  auto* q = new QVBoxLayout(questionBox_);
  q->setContentsMargins(0, 0, 0, 0);
  ask_ = new QLabel;
  ask_->setWordWrap(true);
  QFont bold = ask_->font();
  bold.setBold(true);
  ask_->setFont(bold);
  answer_ = new QLineEdit;
  unit_ = new QLabel;
  auto* answerRow = new QHBoxLayout;
  answerRow->addWidget(answer_, 1);
  answerRow->addWidget(unit_);
  choiceBox_ = new QWidget;
  choiceLayout_ = new QVBoxLayout(choiceBox_);
  choiceLayout_->setContentsMargins(0, 0, 0, 0);
  choiceGroup_ = new QButtonGroup(this);
  check_ = new QPushButton;
  answerRow->addWidget(check_);
  feedback_ = new QLabel;
  feedback_->setWordWrap(true);
  feedback_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  q->addWidget(ask_);
  q->addWidget(choiceBox_);
  q->addLayout(answerRow);
  q->addWidget(feedback_);

  back_ = new QPushButton;
  next_ = new QPushButton;
  auto* nav = new QHBoxLayout;
  nav->addWidget(back_);
  nav->addStretch(1);
  nav->addWidget(stepLabel_);
  nav->addStretch(1);
  nav->addWidget(next_);

  auto* right = new QWidget;
  auto* r = new QVBoxLayout(right);
  r->setContentsMargins(0, 0, 0, 0);
  r->addWidget(title_);
  r->addWidget(error_);
  r->addWidget(text_, 1);
  r->addLayout(windowRow_);
  r->addWidget(questionBox_);
  r->addLayout(nav);

  auto* split = new QSplitter;
  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(1, 3);
  split->setSizes({170, 430});
  auto* top = new QVBoxLayout(this);
  top->addWidget(split);

  connect(list_, &QListWidget::currentRowChanged, this, &LessonPanel::selectLesson);
  connect(back_, &QPushButton::clicked, this, [this] { showStep(step_ - 1); });
  connect(next_, &QPushButton::clicked, this, [this] { showStep(step_ + 1); });
  connect(check_, &QPushButton::clicked, this, &LessonPanel::checkAnswer);
  connect(answer_, &QLineEdit::returnPressed, this, &LessonPanel::checkAnswer);
  connect(open_, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, T("レッスンを開く"), QString(), T("レッスン (*.md)"));
    if (!path.isEmpty()) openLessonFile(path);
  });
  connect(folder_, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, T("レッスンのフォルダ"),
                                                          settings_ ? settings_->value("Lessons/Folder").toString() : QString());
    if (dir.isEmpty() || !settings_) return;
    settings_->setValue("Lessons/Folder", dir);
    reload();
  });
  if (settings_) files_ = settings_->value("Lessons/Files").toStringList();
  retranslate();
  reload();
  resize(640, 600);
}

LessonPanel::~LessonPanel() = default;

const lessons::Lesson* LessonPanel::lesson() const {
  return current_ >= 0 && current_ < sources_.size() ? &sources_[current_].parsed.lesson : nullptr;
}

void LessonPanel::retranslate() {
  setWindowTitle(T("レッスン"));
  open_->setText(T("レッスンを開く..."));
  folder_->setText(T("レッスンのフォルダ..."));
  back_->setText(T("< 戻る"));
  next_->setText(T("次へ >"));
  check_->setText(T("答え合わせ"));
  answer_->setPlaceholderText(T("答えを入力"));
}

void LessonPanel::showEvent(QShowEvent* event) {
  // The lesson last taken comes back when the panel first shows (its actions then set the
  // program up, once the main window listens).
  if (current_ < 0 && !sources_.isEmpty()) {
    const QString last = settings_ ? settings_->value("Lessons/Last").toString() : QString();
    int row = 0;
    for (int k = 0; k < sources_.size(); ++k)
      if (sources_[k].path == last) row = k;
    list_->setCurrentRow(row);
    if (current_ < 0) selectLesson(row);
  }
  QWidget::showEvent(event);
}

void LessonPanel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    retranslate();
    reload();  // the built-in lessons of the language now chosen
  }
  QWidget::changeEvent(event);
}

void LessonPanel::reload() {
  const QString keep = current_ >= 0 && current_ < sources_.size() ? sources_[current_].path : QString();
  const std::string keepId = lesson() ? lesson()->id : std::string();
  const QString lang = sinora::languageCode(sinora::currentLanguage());
  QList<sinora::LessonSource> all;
  for (const sinora::LessonSource& s : sinora::builtinLessons())
    if (s.parsed.ok && QString::fromStdString(s.parsed.lesson.lang) == lang) all.append(s);
  QStringList extra = files_;
  for (const QString& f : sinora::lessonFolderFiles(settings_))
    if (!extra.contains(f)) extra.append(f);
  QStringList refused;
  for (const QString& f : extra) {
    sinora::LessonSource s = sinora::loadLesson(f);
    if (s.parsed.ok) all.append(s);
    else refused.append(TM(s.parsed.message));
  }
  const QSignalBlocker block(list_);
  sources_ = all;
  list_->clear();
  int select = -1;
  for (int k = 0; k < sources_.size(); ++k) {
    const lessons::Lesson& l = sources_[k].parsed.lesson;
    QString name = QString::fromStdString(l.title);
    if (!sources_[k].builtin) name = QFileInfo(sources_[k].path).fileName() + ": " + name;
    list_->addItem(name);
    if (sources_[k].path == keep) select = k;
  }
  // The same lesson in the other language when the language changed.
  for (int k = 0; select < 0 && k < sources_.size(); ++k)
    if (!keepId.empty() && sources_[k].builtin && sources_[k].parsed.lesson.id == keepId) select = k;
  if (!refused.isEmpty()) showError(refused.join("\n"));
  if (select >= 0) {
    list_->setCurrentRow(select);
    const bool same = sources_[select].path == keep;
    current_ = select;
    if (same) showStep(step_);
    else selectLesson(select);
  } else if (!sources_.isEmpty() && current_ >= 0) {
    list_->setCurrentRow(0);
    selectLesson(0);
  } else {
    current_ = -1;
    session_.reset();
    text_->clear();
    questionBox_->hide();
  }
}

bool LessonPanel::openLessonFile(const QString& path) {
  const sinora::LessonSource s = sinora::loadLesson(path);
  if (!s.parsed.ok) {
    showError(TM(s.parsed.message));
    return false;
  }
  const QString absolute = QFileInfo(path).absoluteFilePath();
  if (!files_.contains(absolute)) files_.append(absolute);
  if (settings_) settings_->setValue("Lessons/Files", files_);
  reload();
  for (int k = 0; k < sources_.size(); ++k)
    if (QFileInfo(sources_[k].path).absoluteFilePath() == absolute) list_->setCurrentRow(k);
  return true;
}

QString LessonPanel::progressKey() const {
  const lessons::Lesson* l = lesson();
  if (!l) return {};
  const QString source = sources_[current_].builtin ? QString("builtin") : QFileInfo(sources_[current_].path).absoluteFilePath();
  // Keys may not hold slashes: the file's path is hashed into the key.
  return "Lessons/Progress/" + QString::fromStdString(l->id + "." + l->lang) + "-" +
         QString::number(qHash(source), 16);
}

void LessonPanel::selectLesson(int row) {
  if (row < 0 || row >= sources_.size()) return;
  current_ = row;
  error_->hide();
  if (settings_) settings_->setValue("Lessons/Last", sources_[row].path);
  session_ = std::make_unique<lessons::LessonSession>(sources_[row].parsed.lesson,
                                                      sinora::lessonContext(sources_[row].path, settings_));
  const int remembered = settings_ ? settings_->value(progressKey(), 0).toInt() : 0;
  title_->setText(QString::fromStdString(sources_[row].parsed.lesson.title));
  showStep(remembered);
}

void LessonPanel::showError(const QString& message) {
  error_->setText(message);
  error_->setVisible(!message.isEmpty());
}

void LessonPanel::showStep(int step) {
  const lessons::Lesson* l = lesson();
  if (!l || !session_) return;
  step = std::max(0, std::min(step, int(l->steps.size()) - 1));
  step_ = step;
  if (settings_) settings_->setValue(progressKey(), step);
  const lessons::Step& s = l->steps[std::size_t(step)];
  // The actions up to this step set the program up; a failure is said and the panel stays.
  const int version = session_->studyVersion();
  std::string why;
  if (!session_->runThrough(step, why)) showError(T("この手順の準備ができません: %1").arg(TM(why)));
  else error_->hide();
  if (session_->studyVersion() != version && session_->study()) {
    const sinora::PhantomInfo* info = sinora::phantomInfo(*session_->study());
    emit studyMade(session_->study(), info ? QString::fromStdString(info->name) : T("レッスンの検査"));
  }

  QString md;
  if (step == 0) {
    if (!l->goals.empty()) {
      md += "**" + T("このレッスンの目標") + "**\n\n";
      for (const std::string& g : l->goals) md += "- " + QString::fromStdString(g) + "\n";
      md += "\n";
    }
    md += QString::fromStdString(l->introduction) + "\n\n";
  }
  md += stepMarkdown(s.title, s.text);
  const QString folder = sources_[current_].builtin ? QString(":/lessons") : QFileInfo(sources_[current_].path).absolutePath();
  text_->setSearchPaths({folder});
  text_->setMarkdown(md);

  qDeleteAll(windowButtons_);
  windowButtons_.clear();
  for (const lessons::Action& a : s.actions) {
    if (a.kind != lessons::ActionKind::Window) continue;
    auto* b = new QPushButton(T("「%1」を開く").arg(windowText(a.name)));
    const lessons::Action action = a;
    connect(b, &QPushButton::clicked, this, [this, action] { openWindow(action); });
    windowRow_->addWidget(b);
    windowButtons_.append(b);
  }

  feedback_->clear();
  answer_->clear();
  for (QAbstractButton* b : choiceGroup_->buttons()) {
    choiceGroup_->removeButton(b);
    delete b;
  }
  questionBox_->setVisible(s.hasQuestion);
  if (s.hasQuestion) {
    const lessons::Question& q = s.question;
    ask_->setText(QString::fromStdString(q.ask));
    const bool number = q.kind == lessons::Question::Number;
    answer_->setVisible(number);
    unit_->setVisible(number);
    unit_->setText(QString::fromStdString(q.unit));
    choiceBox_->setVisible(!number);
    for (std::size_t k = 0; k < q.choices.size(); ++k) {
      auto* b = new QRadioButton(QString::fromStdString(q.choices[k].label));
      choiceGroup_->addButton(b, int(k) + 1);
      choiceLayout_->addWidget(b);
    }
  }
  stepLabel_->setText(T("手順 %1 / %2").arg(step + 1).arg(l->steps.size()));
  back_->setEnabled(step > 0);
  next_->setEnabled(step + 1 < int(l->steps.size()));
}

void LessonPanel::openWindow(const lessons::Action& a) {
  QList<IterativeWindow*> before;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* it = qobject_cast<IterativeWindow*>(w)) before.append(it);
  emit windowRequested(QString::fromStdString(a.name));
  if (a.name != "iterative" || a.fields.size() < 2) return;
  // The iterative window opens with the step's settings and reconstructs at once.
  IterativeWindow* w = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* it = qobject_cast<IterativeWindow*>(t); it && !before.contains(it)) w = it;
  if (!w) return;
  const auto value = [&](const char* key) -> QString {
    const lessons::Field* f = a.find(key);
    return f ? QString::fromStdString(f->value) : QString();
  };
  if (!value("row").isEmpty()) w->rowBox()->setValue(value("row").toInt());
  if (!value("method").isEmpty()) w->methodBox()->setCurrentIndex(value("method") == "mlem" ? 0 : 1);
  if (!value("subsets").isEmpty()) {
    const int k = w->subsetsBox()->findData(value("subsets").toInt());
    if (k >= 0) w->subsetsBox()->setCurrentIndex(k);
  }
  if (!value("iterations").isEmpty()) w->iterationsBox()->setValue(value("iterations").toInt());
  if (!value("post-filter").isEmpty()) w->fwhmBox()->setValue(value("post-filter").toDouble());
  if (!value("chang").isEmpty())
    w->changBox()->setCurrentIndex(value("chang") == "first" ? 1 : value("chang") == "iterated" ? 2 : 0);
  if (!value("attenuated").isEmpty()) w->attenuatedOsemBox()->setChecked(value("attenuated") == "yes");
  if (!value("mu").isEmpty()) w->muBox()->setValue(value("mu").toDouble());
  if (!value("scatter").isEmpty())
    w->scatterControls()->methodBox()->setCurrentIndex(value("scatter") == "dew" ? 1 : value("scatter") == "tew" ? 2 : 0);
  if (!value("psf").isEmpty()) {
    // A preset or the phantom's collimator as listed; numbers go in the typed box.
    ResolutionControls* rr = w->resolutionControls();
    const int k = rr->collimatorBox()->findData(value("psf"));
    if (k >= 0) {
      rr->collimatorBox()->setCurrentIndex(k);
    } else {
      rr->collimatorBox()->setCurrentIndex(rr->collimatorBox()->findData(QStringLiteral("typed")));
      rr->numbersBox()->setText(value("psf"));
    }
    rr->onBox()->setChecked(true);
  }
  w->reconstructButton()->click();
}

void LessonPanel::checkAnswer() {
  const lessons::Lesson* l = lesson();
  if (!l || !session_) return;
  const lessons::Step& s = l->steps[std::size_t(step_)];
  if (!s.hasQuestion) return;
  const lessons::Question& q = s.question;
  const std::string answer = q.kind == lessons::Question::Number
                                 ? answer_->text().toStdString()
                                 : std::to_string(std::max(0, choiceGroup_->checkedId()));
  const lessons::Verdict v = session_->check(q, answer);
  QString text;
  switch (v.result) {
    case lessons::Verdict::Right:
      text = "<b style='color:#006000'>" + T("正解です。").toHtmlEscaped() + "</b>";
      if (q.kind == lessons::Question::Number)
        text += " " + T("プログラムの測定値: %1 %2").arg(QString::number(v.measured, 'g', 4), QString::fromStdString(q.unit)).toHtmlEscaped();
      if (!q.explain.empty()) text += "<br>" + QString::fromStdString(q.explain).toHtmlEscaped();
      break;
    case lessons::Verdict::Wrong:
      text = "<b style='color:#b00000'>" + T("違います。").toHtmlEscaped() + "</b> " +
             T("ヒント: %1").arg(QString::fromStdString(q.hint)).toHtmlEscaped();
      break;
    case lessons::Verdict::Unreadable:
      text = (q.kind == lessons::Question::Number ? T("答えを数で入力してください。") : T("選択肢を一つ選んでください。")).toHtmlEscaped();
      break;
    case lessons::Verdict::Unmeasurable:
      text = T("この問題はいま測れません: %1").arg(TM(v.reason)).toHtmlEscaped();
      break;
  }
  feedback_->setText(text);
}
