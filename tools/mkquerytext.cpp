// zur-mkquerytext: writes the query repository from the statement files.
//
//   zur-mkquerytext [--version X.Y.Z] QUERYTEXT_DIR OUT_FILE
//
// The repository of the source tree is made with
//   build/bin/zur-mkquerytext querytext resources/etc/qen/qen_QueryText.cds
// and a test fails while the committed file differs from what this writes.

#include "payroll/QueryTextBuilder.h"
#include "platform/ZurError.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTextStream>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  QString version = QStringLiteral(ZUR_VERSION);
  if (args.size() >= 2 && args[0] == QLatin1String("--version")) {
    version = args[1];
    args = args.mid(2);
  }
  QTextStream err(stderr);
  if (args.size() != 2) {
    err << "uso: zur-mkquerytext [--version X.Y.Z] CARTELLA_QUERY FILE_USCITA\n";
    return 2;
  }
  try {
    const QByteArray data = BuildQueryTextRepository(args[0], version);
    QSaveFile out(args[1]);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
      err << QStringLiteral("Impossibile scrivere il file '%1': %2.\n").arg(args[1], out.errorString());
      return 1;
    }
  } catch (const EZurError& e) {
    err << e.message() << '\n';
    return 1;
  }
  return 0;
}
