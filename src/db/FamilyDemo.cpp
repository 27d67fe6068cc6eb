#include "db/FamilyDemo.h"

#include "dataset/Currency.h"
#include "db/GenerateID.h"
#include "db/VxSQLConnection.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"

#include <initializer_list>
#include <vector>

namespace {

// Inserts rows into one table; values bind by their type (integers, text,
// amounts, and an invalid QVariant for NULL).
class TRowWriter {
public:
  TRowWriter(TVxSQLConnection& connection, const char* table, std::initializer_list<const char*> columns)
      : m_query(connection) {
    QStringList names, params;
    for (const char* c : columns) {
      names << QString::fromLatin1(c);
      params << QLatin1Char(':') + QString::fromLatin1(c);
    }
    m_query.SetSQL(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(QString::fromLatin1(table), names.join(QStringLiteral(", ")),
                            params.join(QStringLiteral(", "))));
  }

  void Add(std::initializer_list<QVariant> values) {
    ZurAssert(static_cast<int>(values.size()) == m_query.ParamCount(),
              QStringLiteral("Riga demo incompleta."));
    int i = 0;
    for (const QVariant& v : values) {
      TZurParam& p = m_query.Params(i++);
      if (!v.isValid())
        p.SetNull(TZurFieldType::String);
      else if (v.metaType() == QMetaType::fromType<Currency>())
        p.SetAmount(v.value<Currency>());
      else if (v.typeId() == QMetaType::QString)
        p.SetString(v.toString());
      else
        p.SetInteger(v.toLongLong());
    }
    m_query.ExecSQL();
  }

private:
  TZurQuery m_query;
};

QVariant S(const char* text) {
  return QString::fromUtf8(text);
}

constexpr int kIrapSubject = 1;

struct PayItem {
  int id;
  const char* code;
  const char* description;
  int payClass;
  int irapCode;
};

const PayItem kItems[] = {
    {1, "STIP", "STIPENDIO TABELLARE", 1, kIrapSubject},
    {2, "ANF", "ASSEGNO NUCLEO FAMILIARE", 1, 0},
    {3, "ACC", "COMPENSO ACCESSORIO", 3, kIrapSubject},
    {4, "COCO", "COMPENSO COLLABORAZIONE", 1, kIrapSubject},
    {5, "CFON", "COMPENSO FONDAMENTALE COLLABORATORI", 2, kIrapSubject},
    {6, "PROF", "COMPENSO PRESTAZIONE PROFESSIONALE", 3, kIrapSubject},
};

struct Worker {
  int id;
  const char* fiscalCode;
  const char* surname;
  const char* name;
  int contractType;
};

const Worker kWorkers[] = {
    {1, "RSSMRA70A01H501W", "ROSSI", "MARIO", 1},      {2, "BNCLRA80B41H501K", "BIANCHI", "LAURA", 2},
    {3, "VRDPLA75C12H501P", "VERDI", "PAOLO", 11},     {4, "NRENNA82D50H501T", "NERI", "ANNA", 17},
    {5, "GLLLCU68E15H501Z", "GALLI", "LUCA", 10},      {6, "CNTSRA90H60H501B", "CONTI", "SARA", 14},
    {7, "FRRGRG65L20F205X", "FERRARI", "GIORGIO", 15},
};

// A payment repeated over a list of months.
struct Payment {
  int year;
  std::vector<int> months;
  int worker;
  int item;
  std::int64_t cents;
};

const std::vector<Payment>& Payroll() {
  static const std::vector<Payment> payroll = {
      {2024, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 1, 1, 215037},
      {2024, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 1, 2, 13750},
      {2024, {1, 2, 3, 4, 5, 6}, 2, 1, 189012},
      {2024, {3, 6, 9, 12}, 1, 3, 31245},
      {2024, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 3, 4, 80055},
      {2024, {3, 9}, 3, 3, 15010},
      {2024, {2, 3, 4}, 4, 5, 120025},
      {2024, {3}, 2, 5, 9999},
      {2024, {3}, 5, 6, 50000},
      {2024, {3, 7}, 6, 6, 27530},
      {2024, {11}, 7, 6, 100001},
      {2023, {9, 10, 11, 12}, 1, 1, 209810},
      {2023, {9, 10, 11, 12}, 1, 2, 13750},
      {2023, {9, 10, 11, 12}, 3, 4, 78000},
      {2023, {10}, 6, 6, 26000},
      {2023, {12}, 1, 3, 30000},
      {2023, {12}, 4, 5, 115075},
      {2023, {12}, 7, 6, 95050},
  };
  return payroll;
}

void InsertRegistry(TVxSQLConnection& c) {
  TRowWriter regions(c, "treg_regioni", {"iregid", "sregdesc"});
  const char* names[] = {"ABRUZZO",
                         "BASILICATA",
                         "CALABRIA",
                         "CAMPANIA",
                         "EMILIA-ROMAGNA",
                         "FRIULI-VENEZIA GIULIA",
                         "LAZIO",
                         "LIGURIA",
                         "LOMBARDIA",
                         "MARCHE",
                         "MOLISE",
                         "PIEMONTE",
                         "PUGLIA",
                         "SARDEGNA",
                         "SICILIA",
                         "TOSCANA",
                         "TRENTINO-ALTO ADIGE",
                         "UMBRIA",
                         "VALLE D'AOSTA",
                         "VENETO"};
  int id = 0;
  for (const char* name : names)
    regions.Add({++id, S(name)});
  constexpr int kLazio = 7, kLombardia = 9, kTrentino = 17;

  TRowWriter provinces(c, "tpro_province", {"iproid", "iregid", "sprodesc", "sprosigla"});
  provinces.Add({1, kLazio, S("ROMA"), S("RM")});
  provinces.Add({2, kTrentino, S("TRENTO"), S("TN")});
  provinces.Add({3, kTrentino, S("BOLZANO"), S("BZ")});
  provinces.Add({4, kLombardia, S("MILANO"), S("MI")});

  TRowWriter towns(c, "tcom_comuni", {"icomid", "iproid", "scomdesc", "scomcodcata"});
  towns.Add({1, 1, S("Roma"), S("H501")});
  towns.Add({2, 2, S("Trento"), S("L378")});
  towns.Add({3, 3, S("Bolzano"), S("A952")});
  towns.Add({4, 4, S("Milano"), S("F205")});

  TRowWriter caps(c, "tcap_cap", {"icapid", "icomid", "scapvalue"});
  caps.Add({1, 1, S("00135")});
  caps.Add({2, 2, S("38122")});
  caps.Add({3, 3, S("39100")});
  caps.Add({4, 4, S("20121")});

  TRowWriter seats(c, "tsed_sedi",
                   {"isedid", "ssednomcodicefisc", "ssednomldesc", "ssedindindirizzo", "icomid", "icapid",
                    "ssedteltelefono", "ssedfaxno", "ssedemlemail"});
  seats.Add({1, S(TFamilyDemo::CodiceFiscale), S(TFamilyDemo::Denominazione), S("Via delle Betulle, 12"), 1,
             1, S("06 / 123.45-67"), S("06 / 123.45-68"), S("rmic8ab00c@istruzione.it")});
  seats.Add({2, S("94012340213"), S("LICEO SCIENTIFICO DI BOLZANO"), S("Piazza Università, 1"), 3, 3,
             QVariant(), QVariant(), QVariant()});

  TRowWriter groups(c, "tdwg_gruppilavoro", {"idwgid", "sdwgdesc", "isedid"});
  groups.Add({1, S("Segreteria"), 1});
  groups.Add({2, S("Sede di Bolzano"), 2});
}

void InsertPayrollSetup(TVxSQLConnection& c) {
  TRowWriter paco(c, "tpaco_parametri", {"ipacoid", "spacocodateco2007", "lpacoafam", "spacodenominazione"});
  paco.Add({1, S(TFamilyDemo::CodiceAteco), 0, S(TFamilyDemo::Denominazione)});

  TRowWriter types(c, "ttno_tipinomina", {"itnoid", "stnodesc"});
  types.Add({1, S("TEMPO INDETERMINATO")});
  types.Add({2, S("TEMPO DETERMINATO")});
  types.Add({10, S("LAVORO AUTONOMO")});
  types.Add({11, S("COLLABORAZIONE COORDINATA E CONTINUATIVA")});
  types.Add({14, S("PRESTAZIONE OCCASIONALE")});
  types.Add({15, S("LIBERO PROFESSIONISTA")});
  types.Add({17, S("COLLABORAZIONE ESTERNA")});

  TRowWriter items(c, "tcot_competenze",
                   {"icotid", "scotcodice", "scotdesc", "icotfondamentale", "icotcodirap"});
  for (const PayItem& i : kItems)
    items.Add({i.id, S(i.code), S(i.description), i.payClass, i.irapCode});

  TRowWriter workers(c, "tdip_dipendenti", {"idipid", "sdipcodfiscale", "sdipcognome", "sdipnome"});
  for (const Worker& w : kWorkers)
    workers.Add({w.id, S(w.fiscalCode), S(w.surname), S(w.name)});

  TRowWriter chartTypes(c, "ttim_tipiconto", {"itimid", "stimdesc"});
  chartTypes.Add({100001, S("PIANO DEI CONTI FINO AL 2018")});
  chartTypes.Add({200001, S("PIANO DEI CONTI DAL 2019")});

  TRowWriter accounts(c, "tnaf_conti", {"inafid", "ianfid", "itimid", "snafcodice", "snafdesc"});
  int id = 0;
  accounts.Add({++id, 2018 - 1969, 100001, S("A01"), S("FUNZIONAMENTO AMMINISTRATIVO")});
  accounts.Add({++id, 2018 - 1969, 100001, S("A03"), S("DIDATTICA")});
  for (int year : {2019, 2024}) {
    accounts.Add({++id, year - 1969, 200001, S("A.1"), S("FUNZIONAMENTO GENERALE E DECORO DELLA SCUOLA")});
    accounts.Add({++id, year - 1969, 200001, S("A.2"), S("FUNZIONAMENTO AMMINISTRATIVO")});
    accounts.Add({++id, year - 1969, 200001, S("A.3"), S("DIDATTICA")});
  }
}

void InsertPayroll(TVxSQLConnection& c) {
  TRowWriter movements(
      c, "tregs_registrazioni",
      {"iregsid", "ianfid", "imesid", "idipid", "itnoid", "icotid", "nregsimponibile", "nregsirap"});
  for (const Payment& p : Payroll()) {
    const Worker& worker = kWorkers[p.worker - 1];
    const PayItem& item = kItems[p.item - 1];
    const Currency taxable = Currency::FromCents(p.cents);
    const Currency irap = item.irapCode == kIrapSubject ? taxable.Percent(8.5).Round(2) : Currency();
    for (int month : p.months)
      movements.Add({GenerateID(c, QStringLiteral("tregs_registrazioni")), p.year - 1969, month, worker.id,
                     worker.contractType, item.id, QVariant::fromValue(taxable), QVariant::fromValue(irap)});
  }
}

} // namespace

void TFamilyDemo::Insert(TVxSQLConnection& connection) {
  InsertRegistry(connection);
  InsertPayrollSetup(connection);
  InsertPayroll(connection);
}
