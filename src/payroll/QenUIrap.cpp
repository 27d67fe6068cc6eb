#include "payroll/QenUIrap.h"

#include "dataset/ClientDataSet.h"
#include "db/ZurQuery.h"
#include "payroll/NymCalcola.h"
#include "payroll/QenUtil.h"
#include "payroll/nymCAnno.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"

namespace {

const QString kImponibile = QStringLiteral("QRY_IRAP_IMP");
const QString kRitenuta = QStringLiteral("QRY_IRAP_RIT");

// The lines are added the way a string list adds them, each on a line of its
// own, so a text that ends with a comment-free WHERE clause simply goes on.
void AppendLine(QString& sql, const QString& line) {
  if (!sql.isEmpty() && !sql.endsWith(QLatin1Char('\n'))) sql += QLatin1Char('\n');
  sql += line;
}

void AppendMonth(QString& sql, int mesId) {
  if (mesId > 0) AppendLine(sql, QStringLiteral(" AND REGS.IMESID=") + QString::number(mesId));
}

// A SUM over no rows is null: that is how a month without movements shows.
Currency FirstColumn(TZurQuery& query, bool* movimenti) {
  query.Open();
  if (movimenti && !query.Eof() && !query.Fields(0).IsNull()) *movimenti = true;
  const Currency amount = query.Fields(0).AsCurrency();
  query.Close();
  return amount;
}

} // namespace

QString TQenIrap::FormatTesto(const QString& text, const QString& argomento) {
  QString out;
  out.reserve(text.size());
  bool used = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c != QLatin1Char('%')) {
      out += c;
      continue;
    }
    const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
    if (next == QLatin1Char('%')) {
      out += QLatin1Char('%');
    } else if ((next == QLatin1Char('s') || next == QLatin1Char('S')) && !used) {
      out += argomento;
      used = true;
    } else {
      throw EZurError(QStringLiteral("Formato '%1' non valido o incompatibile con l'argomento").arg(text));
    }
    ++i;
  }
  return out;
}

Currency TQenIrap::Imponibile(TZurQuery& query, int mesId, const QString& listaTipi, int classe,
                              bool* movimenti) {
  query.Close();
  TQenUtil::AssignStatement(kImponibile, query);
  QString sql = FormatTesto(query.SQL(), QString());
  AppendMonth(sql, mesId);
  if (!listaTipi.isEmpty())
    AppendLine(sql, QStringLiteral(" AND REGS.ITNOID IN (") + listaTipi + QLatin1Char(')'));
  query.SetSQL(sql);
  query.ParamByName(QStringLiteral("IANFID")).SetInteger(QenAnnoFinanziario().Id());
  query.ParamByName(QStringLiteral("ICOTFONDAMENTALE")).SetInteger(classe);
  query.ParamByName(QStringLiteral("RICE_COD_IRAP")).SetInteger(1);
  const Currency amount = FirstColumn(query, movimenti);
  // The window repaints and the log grows between the statements of a long
  // computation; this is also why a second import must not start meanwhile.
  Platform().ProcessMessages();
  return amount;
}

Currency TQenIrap::Ritenuta(TZurQuery& query, int mesId, bool* movimenti) {
  query.Close();
  TQenUtil::AssignStatement(kRitenuta, query);
  if (mesId > 0) {
    QString sql = query.SQL();
    AppendMonth(sql, mesId);
    query.SetSQL(sql);
  }
  query.ParamByName(QStringLiteral("IANFID")).SetInteger(QenAnnoFinanziario().Id());
  query.ParamByName(QStringLiteral("RICE_COD_IRAP")).SetInteger(1);
  return FirstColumn(query, movimenti);
}

bool TQenIrap::RiempiMesi(TZurQuery& query, TClientDataSet& righe, const TProgress& progress) {
  // A year without months has nothing to fill, whatever columns it has.
  if (righe.IsEmpty()) return false;
  bool movimenti = false;
  const auto field = [&righe](const char* name) -> TField& {
    return righe.FieldByName(QString::fromLatin1(name));
  };
  // Every column is looked up first: a dataset that lacks one fails before
  // the first of the many statements.
  TField& mese = field(IMESID);
  TField& dipFondamentali = field(DIP_FONDAMENTALI);
  TField& cococoAccessori = field(COCOCO_ACCESSORI);
  TField& autonomi = field(AUTONOMI);
  TField& dipAccessori = field(DIP_ACCESSORI);
  TField& dipTotale = field(DIP_TOTALE);
  TField& cococoFondamentali = field(COCOCO_FONDAMENTALI);
  TField& cococoTotale = field(COCOCO_TOTALE);
  TField& imponibileTotale = field(IMPONIBILE_TOTALE);
  TField& irap = field(IRAP);

  const auto report = [&progress](const char* message) {
    if (progress) progress(QString::fromLatin1(message));
  };
  const QString cococo = TNymCalcola::ListaTipiCococo();
  const QString lavoratoriAutonomi = TNymCalcola::ListaTipiAutonomi();

  righe.First();
  while (!righe.Eof()) {
    righe.Edit();
    try {
      const int mesId = mese.AsInteger();

      report("Calcolo fondamentali");
      const Currency a = Imponibile(query, mesId, cococo, ClasseFondamentali, &movimenti);
      const Currency b = Imponibile(query, mesId, QString(), ClasseFondamentali, &movimenti);
      const Currency dipFond = b - a;
      dipFondamentali.SetAsCurrency(dipFond);

      report("Calcolo accessori cococo");
      const Currency cococoAcc = Imponibile(query, mesId, cococo, ClasseAccessori, &movimenti);
      cococoAccessori.SetAsCurrency(cococoAcc);

      report("Calcolo autonomi");
      const Currency aut = Imponibile(query, mesId, lavoratoriAutonomi, ClasseAccessori, &movimenti);
      autonomi.SetAsCurrency(aut);

      report("Calcolo accessori dipendenti");
      const Currency c = Imponibile(query, mesId, QString(), ClasseAccessori, &movimenti);
      const Currency dipAcc = c - cococoAcc - aut;
      dipAccessori.SetAsCurrency(dipAcc);
      const Currency dipTot = dipFond + dipAcc;
      dipTotale.SetAsCurrency(dipTot);

      report("Calcolo fondamentali cococo");
      const Currency d = Imponibile(query, mesId, QString(), ClasseFondamentaliCococo, &movimenti);
      const Currency cococoFond = d + a;
      cococoFondamentali.SetAsCurrency(cococoFond);
      const Currency cococoTot = cococoFond + cococoAcc;
      cococoTotale.SetAsCurrency(cococoTot);
      imponibileTotale.SetAsCurrency(aut + cococoTot + dipTot);

      report("Calcolo ritenuta");
      irap.SetAsCurrency(Ritenuta(query, mesId, &movimenti));
      righe.Post();
    } catch (...) {
      righe.Cancel();
      throw;
    }
    righe.Next();
  }
  return movimenti;
}
