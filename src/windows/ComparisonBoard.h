// ComparisonBoard: the pictures a student kept ("比較に追加"), side by side with the settings
// that made each as its caption, one display window for all of them (linked, unless unticked),
// the difference of any two, and for a phantom each one's error and recovered contrast against
// the truth. One board for the whole program: it outlives the windows the pictures came from
// and a change of study, until the program ends or it is cleared.
#pragma once

#include <QWidget>

#include <cmath>
#include <vector>

#include "imaging/study.h"
#include "windows/Figure.h"
#include "windows/PictureView.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;

class ComparisonBoard : public QWidget, public FigureSource {
  Q_OBJECT
 public:
  struct Kept {
    PictureValues values;
    QString caption;
    sinora::ColourMap map = sinora::ColourMap::Ribbon;
    sinora::StudyPtr study;  // a phantom's, for its truth
    int row = -1;
    double rmsePercent = NAN, contrast = NAN;  // against the truth, when there is one
    bool difference = false;                   // one kept picture less another
  };

  // The board, made on first use.
  static ComparisonBoard* instance();
  // The board if it was made, else nullptr.
  static ComparisonBoard* existing();
  // Keeps a copy of what the view shows, and shows the board.
  static void keepPicture(const PictureView& view);

  void keep(Kept kept);
  int count() const { return int(kept_.size()); }
  const Kept& kept(int n) const { return kept_[std::size_t(n)]; }
  PictureView* view(int n) const { return views_[std::size_t(n)]; }
  QLabel* captionLabel(int n) const { return captions_[std::size_t(n)]; }
  // Keeps a - b (same size and unit); false with nothing changed otherwise.
  bool addDifference(int a, int b);
  void remove(int n);
  void clear();
  QCheckBox* linkBox() const { return link_; }
  QComboBox* firstBox() const { return first_; }
  QComboBox* secondBox() const { return second_; }
  QPushButton* differenceButton() const { return difference_; }
  QPushButton* clearButton() const { return clear_; }

  QSize figureSize() const override;
  void paintFigure(QPainter& p, bool vector) const override;
  QString figureName() const override { return QStringLiteral("comparison"); }

 private:
  explicit ComparisonBoard(QWidget* parent = nullptr);
  void rebuild();
  void linkAll();
  void placeCells();
  void resizeEvent(QResizeEvent* e) override;
  std::vector<PictureFigure> figures() const;

  std::vector<Kept> kept_;
  std::vector<PictureView*> views_;
  std::vector<QLabel*> captions_;
  QWidget* cells_;
  std::vector<QWidget*> cellWidgets_;
  QScrollArea* scroll_;
  int columns_ = 0;
  QGridLayout* grid_;
  QObject* windowLinks_;  // owns one WindowLink a unit
  QCheckBox* link_;
  QComboBox *first_, *second_;
  QPushButton *difference_, *clear_, *export_;
  QLabel* empty_;
};
