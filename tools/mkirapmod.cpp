// zur-mkirapmod COORDDIR OUT.pdf: writes the stand-in ministerial model from
// the four coordinate files of COORDDIR (see print/zurStandInModel.h).
#include "platform/ZurError.h"
#include "print/zurStandInModel.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "uso: zur-mkirapmod CARTELLA_COORDINATE USCITA.pdf\n");
    return 2;
  }
  QStringList files;
  for (const char* name : {"Frontespizio.xml", "QuadroIK.xml", "QuadroIR.xml", "QuadroIS.xml"})
    files << args[1] + u'/' + QLatin1String(name);
  try {
    const QByteArray pdf = BuildStandInModel(files);
    QSaveFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size() || !out.commit()) {
      std::fprintf(stderr, "Impossibile scrivere %s\n", qPrintable(args[2]));
      return 1;
    }
  } catch (const EZurError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
