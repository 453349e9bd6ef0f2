// CSinoraView: the main view. It shows the title panel (form 101) and opens the two experience
// windows, each constructed afresh and run modally. Printing gives blank pages.
#pragma once

#include <QPrinter>
#include <QScrollArea>

#include <memory>

#include "imaging/study.h"
#include "platform/dialog_template.h"

class QLabel;
class QPrinter;
class CSinoraDoc;

class CSinoraView : public QScrollArea {
  Q_OBJECT
 public:
  CSinoraView(CSinoraDoc* doc, QWidget* parent = nullptr);

  CSinoraDoc* GetDocument() const { return doc_; }
  QWidget* form() const { return form_; }
  const sinora::DialogControls& controls() const { return controls_; }

  // Lays out the frame and shrinks it around the form (never grows it).
  void OnInitialUpdate();
  // The printer that Print and Print preview use (the frame's, set up by printer set-up).
  void setPrinter(QPrinter* printer) { printer_ = printer; }
  QPrinter* printer();
  // What a print job of the view puts on paper: nothing.
  static void OnPrint(QPrinter* printer);

  // "Interfile 3.3: 120 ビュー / 360°, 128 x 64, 3.32 mm, 総カウント 25,000,000"
  static QString studySummary(const sinora::ProjectionStudy& study);
  QLabel* studyLine() const { return studyLine_; }

 public slots:
  void updateStudyLine();
  void OnImageDisplay();
  void OnBasic();
  void OnIterative();
  void OnFilterAnalysis();
  void OnFilePrint();
  void OnFilePrintPreview();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  CSinoraDoc* doc_;
  QWidget* form_;
  sinora::DialogControls controls_;
  QPrinter* printer_ = nullptr;
  QLabel* studyLine_ = nullptr;
  std::unique_ptr<QPrinter> ownPrinter_;  // only when no frame gave one
};
