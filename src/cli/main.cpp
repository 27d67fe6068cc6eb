#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTextStream(stderr) << "zur24-cli: nessun comando disponibile.\n";
  return 2;
}
