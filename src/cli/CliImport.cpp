#include "cli/CliImport.h"

#include "app/ZurApplication.h"
#include "declaration/zurMDati.h"
#include "payroll/zurImport.h"
#include "platform/ZurError.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>
#include <optional>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kCancelled = 3;

struct TImportArgs {
  QString fiscalCode;
  std::optional<std::pair<int, int>> from; // year, month
  std::optional<std::pair<int, int>> to;
  bool sostituto = true;
  bool irap = true;
};

std::pair<int, int> ParsePeriod(const QString& option, const QString& text) {
  static const QRegularExpression re(QStringLiteral("^(\\d{4})-(\\d{1,2})$"));
  const QRegularExpressionMatch m = re.match(text);
  const int month = m.hasMatch() ? m.captured(2).toInt() : 0;
  if (!m.hasMatch() || month < 1 || month > 12)
    throw ECliUsage(QStringLiteral("Valore non valido per %1: %2 (atteso AAAA-MM)").arg(option, text));
  return {m.captured(1).toInt(), month};
}

TImportArgs ParseArguments(const TCliOptions& o) {
  TImportArgs args;
  QStringList positional;
  for (qsizetype i = 0; i < o.arguments.size(); ++i) {
    QString a = o.arguments[i];
    QString value;
    const qsizetype eq = a.indexOf(QLatin1Char('='));
    if (a.startsWith(QLatin1String("--")) && eq > 0) {
      value = a.mid(eq + 1);
      a = a.left(eq);
    }
    if (a == QLatin1String("--from") || a == QLatin1String("--to")) {
      if (value.isNull()) {
        if (i + 1 >= o.arguments.size())
          throw ECliUsage(QStringLiteral("L'opzione %1 richiede un valore AAAA-MM.").arg(a));
        value = o.arguments[++i];
      }
      (a == QLatin1String("--from") ? args.from : args.to) = ParsePeriod(a, value);
    } else if (a == QLatin1String("--no-sostituto") && value.isNull()) {
      args.sostituto = false;
    } else if (a == QLatin1String("--no-irap") && value.isNull()) {
      args.irap = false;
    } else if (a.startsWith(QLatin1String("--"))) {
      throw ECliUsage(QStringLiteral("Opzione non valida per %1: %2").arg(o.command, o.arguments[i]));
    } else {
      positional << a;
    }
  }
  if (positional.size() != 1)
    throw ECliUsage(QStringLiteral("Il comando %1 richiede 1 argomenti.").arg(o.command));
  args.fiscalCode = positional.first();
  return args;
}

// The choice the window would show, changed by the flags. The window's
// spinners offer only two years; a year outside them is refused rather than
// moved to the nearest, which would import another period than the one asked.
TZurImportOptions ImportOptions(const TImportArgs& args) {
  const int calendarYear = QDate::currentDate().year();
  TZurImportOptions options = TZurImport::OpzioniIniziali(calendarYear);
  options.sostituto = args.sostituto;
  options.irap = args.irap;
  const int minYear = TZurImport::AnnoMinimo(calendarYear);
  const int maxYear = TZurImport::AnnoMassimo(calendarYear);
  const auto take = [&](const std::optional<std::pair<int, int>>& period, int& year, int& month) {
    if (!period) return;
    if (period->first < minYear || period->first > maxYear)
      throw ECliUsage(QStringLiteral("L'anno %1 non è importabile: scegliere tra %2 e %3.")
                          .arg(period->first)
                          .arg(minYear)
                          .arg(maxYear));
    year = period->first;
    month = period->second;
  };
  take(args.from, options.annoDal, options.meseDal);
  take(args.to, options.annoAl, options.meseAl);
  return options;
}

QByteArray Plain(QString text) {
  text.replace(QLatin1String("\r\r\n"), QLatin1String("\n"));
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text.toUtf8();
}

// The log on standard output as it grows: a line is written when it starts
// and what is appended to it follows on the same line, so a step that takes
// long shows "Lettura dati sede..." until its "OK" arrives.
class TCliImportLog final : public IZurImportLog {
public:
  void AddLine(const QString& text) override {
    if (m_lineOpen) Write("\n");
    Write(Plain(text));
    m_lineOpen = true;
  }
  void Append(const QString& text) override {
    if (m_lineOpen) Write(Plain(text));
  }
  // What was printed stays; the log starts again on a fresh line.
  void Clear() override { Finish(); }
  void Finish() {
    if (m_lineOpen) Write("\n");
    m_lineOpen = false;
  }

private:
  static void Write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
  }
  bool m_lineOpen = false;
};

} // namespace

int CmdImport(const TCliOptions& o, TCliPlatform& platform) {
  const TImportArgs args = ParseArguments(o);
  const TZurImportOptions options = ImportOptions(args);

  TZurApplication app(CliAppOptions(o));
  if (!app.Start()) return kFailed;
  TdmZurDati& dati = app.Dati();
  platform.PresetChoice(args.fiscalCode);
  if (!dati.EnterDeclaration(dati.ChooseDeclaration(TZurChoiceMode::Open)))
    throw EZurError(QStringLiteral("Nessuna dichiarazione con C.F. %1.").arg(args.fiscalCode));

  TCliImportLog log;
  TZurImport import(dati, app.Params(), log);
  import.Options() = options;
  try {
    import.Importa();
  } catch (const EZurError& e) {
    // Whatever the import wrote before the error stays in memory only: the
    // command saves nothing of an import that did not end.
    log.Finish();
    CliErr(e.message());
    CliErr(QStringLiteral("Import non completato: la dichiarazione non è stata salvata."));
    return e.kind() == EZurError::Kind::Cancelled ? kCancelled : kFailed;
  } catch (...) {
    log.Finish();
    throw;
  }
  log.Finish();
  dati.SaveAll(false);
  if (import.HaErrori()) {
    CliErr(QStringLiteral(
        "Dati del sostituto non importati (vedere il log); gli altri dati sono stati salvati."));
    return kFailed;
  }
  return kOk;
}
