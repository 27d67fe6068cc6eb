// zur-mkcoordstp MODELLODIR COORDDIR: lays out the four coordinate files of
// the stand-in print model (Frontespizio.xml, QuadroIK.xml, QuadroIR.xml,
// QuadroIS.xml) from the form description in MODELLODIR and writes them to
// COORDDIR (see forms/ZurCoordGenerator.h). Then run zur-mkirapmod to draw
// the model from them.
#include "forms/ZurCoordGenerator.h"
#include "platform/ZurError.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "uso: zur-mkcoordstp CARTELLA_MODELLO CARTELLA_COORDINATE\n");
    return 2;
  }
  try {
    const auto files = zurform::BuildCoordFiles(zurform::TZurFormDescription::Load(args[1]));
    for (const auto& file : files) {
      const QString path = args[2] + u'/' + file.name;
      QSaveFile out(path);
      if (!out.open(QIODevice::WriteOnly) || out.write(file.xml) != file.xml.size() || !out.commit()) {
        std::fprintf(stderr, "Impossibile scrivere %s\n", qPrintable(path));
        return 1;
      }
    }
  } catch (const EZurError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
