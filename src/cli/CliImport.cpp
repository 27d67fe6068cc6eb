#include "cli/CliImport.h"

#include "cli/CliArgs.h"

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
  const QString from = QStringLiteral("--from"), to = QStringLiteral("--to");
  const TCliArgs parsed = ParseCliArgs(o, 1, {QStringLiteral("--no-sostituto"), QStringLiteral("--no-irap")},
                                       {{from, QStringLiteral("AAAA-MM")}, {to, QStringLiteral("AAAA-MM")}});
  TImportArgs args;
  args.fiscalCode = parsed.positional.first();
  if (parsed.values.contains(from)) args.from = ParsePeriod(from, parsed.values.value(from));
  if (parsed.values.contains(to)) args.to = ParsePeriod(to, parsed.values.value(to));
  args.sostituto = !parsed.Has(QStringLiteral("--no-sostituto"));
  args.irap = !parsed.Has(QStringLiteral("--no-irap"));
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

// The log on standard output as it grows: a line is written when it starts
// and what is appended to it follows on the same line, so a step that takes
// long shows "Lettura dati sede..." until its "OK" arrives.
class TCliImportLog final : public IZurImportLog {
public:
  void AddLine(const QString& text) override {
    if (m_lineOpen) Write("\n");
    Write(CliPlainText(text).toUtf8());
    m_lineOpen = true;
  }
  void Append(const QString& text) override {
    if (m_lineOpen) Write(CliPlainText(text).toUtf8());
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
  if (!app.Start()) return kCliFailed;
  TdmZurDati& dati = app.Dati();
  EnterByFiscalCode(app, platform, args.fiscalCode);

  TCliImportLog log;
  TZurImport import(dati, app.Params(), log);
  import.Options() = options;
  const QString nonSalvata = QStringLiteral("Import non completato: la dichiarazione non è stata salvata.");
  // The save runs inside the import, before its closing lines: "Import
  // terminato con successo!" is printed only for a stored declaration.
  const auto salva = [&dati] { return dati.SaveAll(false); };
  try {
    import.Importa(salva);
  } catch (const EZurError& e) {
    // Whatever the import wrote before the error stays in memory only: the
    // command saves nothing of an import that did not end.
    log.Finish();
    CliErr(e.message());
    if (e.message() != nonSalvata) CliErr(nonSalvata);
    return e.kind() == EZurError::Kind::Cancelled ? kCliCancelled : kCliFailed;
  } catch (...) {
    log.Finish();
    throw;
  }
  log.Finish();
  if (import.HaErrori()) {
    CliErr(QStringLiteral(
        "Dati del sostituto non importati (vedere il log); gli altri dati sono stati salvati."));
    return kCliFailed;
  }
  return kCliOk;
}
