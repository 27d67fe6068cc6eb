// zur24: the window program. It opens the same data as zur24-cli, from the
// same options: --root and --db, else the environment and the ini file.
#include "platform/Platform.h"
#include "ui/zurFMain.h"
#include "ui/zurFMainForm.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char** argv) {
  TZurGuiApplication app(argc, argv);
  InstallItalianTranslations(app);

  TZurApplication::TOptions options;
  options.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  if (options.executableName.isEmpty()) options.executableName = QStringLiteral("zur24");
  options.version = QStringLiteral(ZUR_VERSION);
  QStringList args = QCoreApplication::arguments().mid(1);
  while (!args.isEmpty()) {
    const QString opt = args.takeFirst();
    if ((opt == QLatin1String("--root") || opt == QLatin1String("--db")) && !args.isEmpty()) {
      (opt == QLatin1String("--root") ? options.rootDir : options.databaseUrl) = args.takeFirst();
    } else {
      QTextStream(stderr) << "uso: zur24 [--root DIR] [--db URL]\n";
      return 2;
    }
  }

  TfmZurMainForm host(options);
  return host.Run();
}
