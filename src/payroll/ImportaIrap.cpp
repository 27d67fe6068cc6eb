#include "payroll/ImportaIrap.h"

#include "dataset/ClientDataSet.h"
#include "db/ZurQuery.h"
#include "payroll/NymCalcola.h"
#include "payroll/nymCAnno.h"

#include <QMetaType>
#include <vector>

namespace {

bool IsAmountColumn(const QString& name) {
  for (const char* column : TQenIrap::AmountColumns)
    if (name.compare(QLatin1String(column), Qt::CaseInsensitive) == 0) return true;
  return false;
}

TFieldType TypeOfColumn(const QString& name, QMetaType type) {
  if (IsAmountColumn(name)) return TFieldType::Amount;
  switch (type.id()) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::Short:
  case QMetaType::UShort:
  case QMetaType::LongLong:
  case QMetaType::ULongLong:
  case QMetaType::Long:
  case QMetaType::ULong:
    return TFieldType::Integer;
  case QMetaType::Double:
  case QMetaType::Float:
    // Money is the only fractional thing the payroll returns.
    return TFieldType::Amount;
  case QMetaType::QDate:
  case QMetaType::QDateTime:
    return TFieldType::Date;
  case QMetaType::QByteArray:
    return TFieldType::Blob;
  default:
    return TFieldType::Memo;
  }
}

constexpr int kAmountDecimals = 4;

// Restores the program-wide financial year; never throws, so that the error
// of the computation is the one the caller sees.
void RestoreQuietly(int id) noexcept {
  try {
    QenAnnoFinanziario().Load(id);
  } catch (...) {
  }
}

} // namespace

TImportaIrap::TImportaIrap(int annoDal, int meseDal, int annoAl, int meseAl)
    : m_annoDal(annoDal), m_meseDal(meseDal), m_annoAl(annoAl), m_meseAl(meseAl) {}

void TImportaIrap::SetRegione(int numero, const QString& descrizione) {
  m_codiceRegione = QString::asprintf("%.2d", numero);
  m_descrizioneRegione = descrizione;
}

std::pair<int, int> TImportaIrap::MesiAnnoCorrente() const {
  int dal = m_annoCorrente == m_annoDal ? m_meseDal : 1;
  int al = m_annoCorrente == m_annoAl ? m_meseAl : 12;
  if (m_annoDal == m_annoAl && dal == 1 && al == 12) dal = al = 0;
  return {dal, al};
}

bool TImportaIrap::CalcolaAnno(TZurQuery& query, TClientDataSet& righe, const TQenIrap::TProgress& progress) {
  TqenAnnoFinanziario& anno = QenAnnoFinanziario();
  const int ricordato = anno.Id();
  bool movimenti = false;
  try {
    anno.SetByYear(QString::number(m_annoCorrente));
    movimenti = TQenIrap::RiempiMesi(query, righe, progress);
  } catch (...) {
    RestoreQuietly(ricordato);
    throw;
  }
  anno.Load(ricordato);
  return movimenti;
}

void TImportaIrap::AggiungiRighe(TClientDataSet& righe) {
  const TField& dipendenti = righe.FieldByName(QString::fromLatin1(TQenIrap::DIP_TOTALE));
  const TField& cococo = righe.FieldByName(QString::fromLatin1(TQenIrap::COCOCO_TOTALE));
  const TField& autonomi = righe.FieldByName(QString::fromLatin1(TQenIrap::AUTONOMI));
  // Summed apart first: a row that cannot be read leaves the totals as they were.
  Currency d, c, a;
  for (righe.First(); !righe.Eof(); righe.Next()) {
    d += dipendenti.AsCurrency();
    c += cococo.AsCurrency();
    a += autonomi.AsCurrency();
  }
  m_totaleDipendenti += d;
  m_totaleCococo += c;
  m_totaleAutonomi += a;
}

void TImportaIrap::Finalizza() {
  m_totaleDipendenti = TNymCalcola::Arrotonda(m_totaleDipendenti, 0);
  m_totaleCococo = TNymCalcola::Arrotonda(m_totaleCococo, 0);
  m_totaleAutonomi = TNymCalcola::Arrotonda(m_totaleAutonomi, 0);
  m_baseImponibile = m_totaleDipendenti + m_totaleCococo + m_totaleAutonomi;
  m_imposta = TNymCalcola::PercentualeArrotondata(0, Aliquota, m_baseImponibile);
}

void TImportaIrap::DefinisciRighe(TClientDataSet& righe) {
  righe.Close();
  righe.ClearFields();
  righe.AddFieldDef(QString::fromLatin1(TQenIrap::IMESID), TFieldType::Integer);
  for (const char* column : TQenIrap::AmountColumns)
    righe.AddFieldDef(QString::fromLatin1(column), TFieldType::Amount, kAmountDecimals);
  righe.CreateDataSet();
}

void TImportaIrap::CaricaRighe(TZurQuery& query, TClientDataSet& righe) {
  righe.Close();
  righe.ClearFields();
  std::vector<TField*> fields;
  for (int i = 0; i < query.FieldCount(); ++i) {
    const QString name = query.FieldName(i);
    const TFieldType type = TypeOfColumn(name, query.Fields(i).ColumnType());
    fields.push_back(&righe.AddFieldDef(name, type, type == TFieldType::Amount ? kAmountDecimals : -1));
  }
  righe.CreateDataSet();
  righe.DisableControls();
  try {
    for (; !query.Eof(); query.Next()) {
      righe.Append();
      for (int i = 0; i < int(fields.size()); ++i) {
        const TZurField value = query.Fields(i);
        TField& field = *fields[size_t(i)];
        if (value.IsNull()) continue;
        switch (field.DataType()) {
        case TFieldType::Integer:
          // Through the 64-bit conversion, which refuses what a 32-bit field cannot hold.
          field.SetAsVariant(QVariant::fromValue<qlonglong>(value.AsInteger()));
          break;
        case TFieldType::Amount:
          field.SetAsCurrency(value.AsCurrency());
          break;
        case TFieldType::Date:
          field.SetAsDate(value.AsDate());
          break;
        case TFieldType::Blob:
          field.SetAsBytes(value.AsBytes());
          break;
        default:
          field.SetAsString(value.AsString());
          break;
        }
      }
      righe.Post();
    }
  } catch (...) {
    righe.EnableControls();
    righe.Close();
    throw;
  }
  righe.MergeChangeLog();
  righe.First();
  righe.EnableControls();
}
