// CDialog2: the point-source window (dialog 131). Each button redraws the profile graphs and
// paints one reconstruction of the simulated point source; nothing is kept between presses.
#pragma once

#include "imaging/display.h"
#include "platform/template_dialog.h"

class QLabel;

class CDialog2 : public sinora::TemplateDialog {
  Q_OBJECT
 public:
  explicit CDialog2(QWidget* parent = nullptr);

  QLabel* m_title = nullptr;

  void gazou(int a);
  void sumrampgazou(int a);
  void rampgazou(int a);

 public slots:
  void OnButton1();  // "BKprojection"
  void OnButton2();  // "Ramp*BKprojection"
  void OnButton3();  // "Ramp*BW*BKprojection"

 private:
  // Steps 1 to 10 of the graph frame for button 1, 2 or 3; returns the view step.
  int drawGraphs(int button);
  void paintImage(int frameId, const sinora::DisplayImage& image);
  sinora::Palette palette() const;
  double number(int id) const;
};
