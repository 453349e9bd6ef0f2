#include "windows/Dialog2.h"

#include "platform/tr.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "imaging/point_source.h"
#include "platform/frame_control.h"
#include "platform/line.h"
#include "platform/number.h"
#include "res/dialogs.h"
#include "res/resource.h"

using namespace sinora::res;

CDialog2::CDialog2(QWidget* parent) : TemplateDialog(pointSourceWindowTemplate(), parent) {
  m_title = controls().get<QLabel>(IDC_PS_TITLE);
  colourTitleBand(IDC_PS_TITLE);
  onClicked(IDC_BKPROJECTION, this, &CDialog2::OnButton1);
  onClicked(IDC_RAMP_BKPROJECTION, this, &CDialog2::OnButton2);
  onClicked(IDC_RAMP_BW_BKPROJECTION, this, &CDialog2::OnButton3);
  onClicked(IDCANCEL, static_cast<QDialog*>(this), &QDialog::reject);
  // Untitled in Japanese; a language that names the window titles it.
  if (const QString named = sinora::T("点線源"); named != QStringLiteral("点線源")) setWindowTitle(named);
}

double CDialog2::number(int id) const { return sinora::readNumber(windowText(id).toStdString()); }

sinora::Palette CDialog2::palette() const {
  if (isChecked(IDC_RIBBON)) return sinora::Palette::Ribbon;
  if (isChecked(IDC_BLACKWHITE)) return sinora::Palette::BlackWhite;
  return sinora::Palette::Neither;
}

int CDialog2::drawGraphs(int button) {
  sinora::FrameControl* f = frame(IDC_PROFILE_GRAPH);
  f->fill(QColor(255, 255, 225));
  const double order = number(IDC_BW_ORDER);
  const double cutoff = number(IDC_BW_CUTOFF);
  const double degrees = number(IDC_DEGREES);
  QImage& canvas = f->canvas();
  const QRgb black = qRgb(0, 0, 0), blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0);
  for (int y : {70, 210, 360}) sinora::drawLineTo(canvas, 50, y, 303, y, black);
  {
    QPainter p(&canvas);
    p.setFont(font());
    p.setPen(Qt::black);
    const struct {
      int x, y;
      const char* text;
    } labels[] = {{1, 10, " Projection"}, {1, 150, " Projection*Ramp"}, {1, 270, " Projection*BW*Ramp"}};
    for (const auto& l : labels)
      p.drawText(QRect(l.x, l.y, canvas.width() - l.x, 40), Qt::AlignLeft | Qt::AlignTop,
                 QString::fromLatin1(l.text));
  }
  auto polyline = [&](const sinora::Curve& c, int base, double scale, QRgb colour) {
    int px = 50, py = sinora::truncateToInt(base - scale * c[0]);
    for (int i = 1; i < 64; ++i) {
      const int x = 50 + 4 * i, y = sinora::truncateToInt(base - scale * c[i]);
      sinora::drawLineTo(canvas, px, py, x, y, colour);
      px = x, py = y;
    }
  };
  polyline(sinora::graphProfile(), 70, 1, blue);
  if (button >= 2) polyline(sinora::rampCurve(), 210, 10, blue);
  if (button == 3)
    if (const auto q2 = sinora::bwRampCurve(order, cutoff)) polyline(*q2, 360, 10, red);
  f->update();
  return sinora::viewStep(degrees);
}

void CDialog2::paintImage(int frameId, const sinora::DisplayImage& image) {
  sinora::FrameControl* f = frame(frameId);
  f->fill(Qt::white);
  const sinora::RgbImage rgb = sinora::render(image, palette());
  f->paintPicture(sinora::toQImage(rgb.data(), sinora::kSize, sinora::kSize));
}

void CDialog2::OnButton1() { gazou(drawGraphs(1)); }
void CDialog2::OnButton2() { rampgazou(drawGraphs(2)); }
void CDialog2::OnButton3() { sumrampgazou(drawGraphs(3)); }

void CDialog2::gazou(int a) { paintImage(IDC_PS_BP_IMAGE, sinora::pointSourceBackprojection(a)); }

void CDialog2::rampgazou(int a) { paintImage(IDC_PS_RAMP_BP_IMAGE, sinora::pointSourceRamp(a)); }

void CDialog2::sumrampgazou(int a) {
  paintImage(IDC_PS_BW_RAMP_BP_IMAGE,
             sinora::pointSourceBwRamp(a, number(IDC_BW_ORDER), number(IDC_BW_CUTOFF)));
}
