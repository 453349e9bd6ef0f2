#include "windows/ExportResult.h"

#include <QFileInfo>

#include "formats/interfile.h"
#include "platform/tr.h"
#include "safe_output.h"

namespace sinora {

QString exportFilters() {
  return QStringLiteral("DICOM NM (*.dcm);;Interfile 3.3 (*.hv);;NIfTI-1 (*.nii)");
}

QString exportVolume(const ProjectionStudy& study, const formats::VolumeData& volume,
                     const QString& path, const QByteArray& studyPath) {
  const QFileInfo info(path);
  const QString suffix = info.suffix().toLower();
  const std::string base = QFile::encodeName(info.completeBaseName()).toStdString();
  formats::ExportResult r;
  if (suffix == QLatin1String("dcm")) r = formats::dicomVolume(study, volume, base);
  else if (suffix == QLatin1String("hv")) r = formats::interfileVolume(study, volume, base);
  else if (suffix == QLatin1String("nii")) r = formats::niftiVolume(study, volume, base);
  else return T("書き出せる形式は DICOM（.dcm）、Interfile（.hv）、NIfTI（.nii）です。");
  if (r.files.empty()) return TM(r.error);
  const std::string dir = QFile::encodeName(info.absolutePath()).toStdString();
  std::vector<std::string> names;
  std::vector<tools::OutputFile> files;
  for (formats::ExportFile& f : r.files) {
    names.push_back(f.name);
    files.push_back({f.name, std::move(f.bytes)});
  }
  std::string clash;
  const std::string source = studyPath.toStdString();
  const std::string data = source.empty() ? std::string() : formats::interfileDataPath(source);
  if (tools::anyIsFile(dir, names, {source, data}, &clash))
    return T("%1 は開いている検査のファイルです。何も書きませんでした。").arg(QString::fromStdString(clash));
  std::string error;
  if (!tools::writeAll(dir, files, &error))
    return T("%1 に書けません（%2）。").arg(path, QString::fromLocal8Bit(error.c_str()));
  return {};
}

}  // namespace sinora
