#include "db/FamilySchema.h"

#include "db/FamilyDemo.h"
#include "db/VxSQLConnection.h"
#include "db/VxTransaction.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"

#include <QSqlDatabase>
#include <algorithm>
#include <optional>

namespace {

using K = TColumnKind;

QString ColumnSql(const TSqlDialect& dialect, const TColumnDecl& c) {
  const QString name = QString::fromLatin1(c.name);
  QString sql = name + QLatin1Char(' ') + dialect.ColumnType(c.kind, c.length);
  if (c.kind == K::Key) return sql + QStringLiteral(" NOT NULL PRIMARY KEY");
  if (c.defaultValue) sql += QStringLiteral(" DEFAULT ") + QString::fromLatin1(c.defaultValue);
  if (c.notNull) sql += QStringLiteral(" NOT NULL");
  if (c.kind == K::Flag) sql += QStringLiteral(" CHECK (%1 IN (0, 1))").arg(name);
  const QString check = dialect.ColumnCheck(c.kind, name);
  if (!check.isEmpty()) sql += QLatin1Char(' ') + check;
  return sql;
}

QString TableSql(const TSqlDialect& dialect, const TTableDecl& t) {
  QStringList parts;
  for (const TColumnDecl& c : t.columns)
    parts << ColumnSql(dialect, c);
  for (const char* constraint : t.constraints)
    parts << QString::fromLatin1(constraint);
  return QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
      .arg(QString::fromLatin1(t.name), parts.join(QStringLiteral(",\n  ")));
}

void Exec(TVxSQLConnection& connection, const QString& sql) {
  TZurQuery q(connection);
  q.SetSQL(sql);
  q.ExecSQL();
}

// Reference data that every database needs, demo or not.
void InsertReferenceData(TVxSQLConnection& connection) {
  TZurQuery q(connection);
  q.SetSQL(QStringLiteral("INSERT INTO tvxs_schema (svxsversione) VALUES (:V)"));
  q.ParamByName(QStringLiteral("V")).SetString(QString::fromLatin1(TFamilySchema::Version));
  q.ExecSQL();

  // The framework's defaults: working group 1, financial year 2024 (id 55)
  // and school year 2024/25 (id 55).
  q.SetSQL(QStringLiteral("INSERT INTO tvxu_parametri (svxuchiave, svxuvalore) VALUES (:K, :V)"));
  const std::pair<const char*, const char*> params[] = {
      {"VXUP_DwgId", "1"}, {"VXUP_AnfId", "55"}, {"VXUP_AnsId", "55"}};
  for (const auto& [key, value] : params) {
    q.ParamByName(QStringLiteral("K")).SetString(QString::fromLatin1(key));
    q.ParamByName(QStringLiteral("V")).SetString(QString::fromLatin1(value));
    q.ExecSQL();
  }

  q.SetSQL(QStringLiteral("INSERT INTO tanf_annifinanz (ianfid, sanfdesc, danfvorexinizio, danfvorexfine) "
                          "VALUES (:ID, :DESC, :INIZIO, :FINE)"));
  for (int year = TFamilySchema::FirstYear; year <= TFamilySchema::LastYear; ++year) {
    q.ParamByName(QStringLiteral("ID")).SetInteger(year - 1969);
    q.ParamByName(QStringLiteral("DESC")).SetString(QString::number(year));
    q.ParamByName(QStringLiteral("INIZIO")).SetDate(QDate(year, 1, 1));
    q.ParamByName(QStringLiteral("FINE")).SetDate(QDate(year, 12, 31));
    q.ExecSQL();
  }
  q.SetSQL(QStringLiteral("INSERT INTO tans_anniscolast (iansid, sansdesc, dansvorexinizio, dansvorexfine) "
                          "VALUES (:ID, :DESC, :INIZIO, :FINE)"));
  for (int year = TFamilySchema::FirstYear; year <= TFamilySchema::LastYear; ++year) {
    q.ParamByName(QStringLiteral("ID")).SetInteger(year - 1969);
    q.ParamByName(QStringLiteral("DESC"))
        .SetString(QStringLiteral("%1/%2").arg(year).arg((year + 1) % 100, 2, 10, QLatin1Char('0')));
    q.ParamByName(QStringLiteral("INIZIO")).SetDate(QDate(year, 9, 1));
    q.ParamByName(QStringLiteral("FINE")).SetDate(QDate(year + 1, 8, 31));
    q.ExecSQL();
  }

  q.SetSQL(QStringLiteral("INSERT INTO tmes_mesi (imesid, smesdesc) VALUES (:ID, :DESC)"));
  const char* months[] = {"Gennaio", "Febbraio", "Marzo",     "Aprile",  "Maggio",   "Giugno",
                          "Luglio",  "Agosto",   "Settembre", "Ottobre", "Novembre", "Dicembre"};
  for (int m = 1; m <= 12; ++m) {
    q.ParamByName(QStringLiteral("ID")).SetInteger(m);
    q.ParamByName(QStringLiteral("DESC")).SetString(QString::fromLatin1(months[m - 1]));
    q.ExecSQL();
  }

  // The regional codes of the tax forms. Trentino-Alto Adige has none of its
  // own: its two autonomous provinces have one each, which is why the
  // look-up by description takes the province too.
  struct Repa {
    int code;
    const char* description;
    const char* region;
    const char* province;
  };
  const Repa codes[] = {
      {1, "Abruzzo", "ABRUZZO", nullptr},
      {2, "Basilicata", "BASILICATA", nullptr},
      {3, "Provincia autonoma di Bolzano", "TRENTINO-ALTO ADIGE", "BOLZANO"},
      {4, "Calabria", "CALABRIA", nullptr},
      {5, "Campania", "CAMPANIA", nullptr},
      {6, "Emilia-Romagna", "EMILIA-ROMAGNA", nullptr},
      {7, "Friuli-Venezia Giulia", "FRIULI-VENEZIA GIULIA", nullptr},
      {8, "Lazio", "LAZIO", nullptr},
      {9, "Liguria", "LIGURIA", nullptr},
      {10, "Lombardia", "LOMBARDIA", nullptr},
      {11, "Marche", "MARCHE", nullptr},
      {12, "Molise", "MOLISE", nullptr},
      {13, "Piemonte", "PIEMONTE", nullptr},
      {14, "Puglia", "PUGLIA", nullptr},
      {15, "Sardegna", "SARDEGNA", nullptr},
      {16, "Sicilia", "SICILIA", nullptr},
      {17, "Toscana", "TOSCANA", nullptr},
      {18, "Provincia autonoma di Trento", "TRENTINO-ALTO ADIGE", "TRENTO"},
      {19, "Umbria", "UMBRIA", nullptr},
      {20, "Valle d'Aosta", "VALLE D'AOSTA", nullptr},
      {21, "Veneto", "VENETO", nullptr},
  };
  q.SetSQL(
      QStringLiteral("INSERT INTO trepa_regioni (irepacodice, srepadescrizione, srepadescreg, srepadescpro) "
                     "VALUES (:CODICE, :DESCR, :REGIONE, :PROVINCIA)"));
  for (const Repa& r : codes) {
    q.ParamByName(QStringLiteral("CODICE")).SetInteger(r.code);
    q.ParamByName(QStringLiteral("DESCR")).SetString(QString::fromUtf8(r.description));
    q.ParamByName(QStringLiteral("REGIONE")).SetString(QString::fromUtf8(r.region));
    if (r.province)
      q.ParamByName(QStringLiteral("PROVINCIA")).SetString(QString::fromUtf8(r.province));
    else
      q.ParamByName(QStringLiteral("PROVINCIA")).SetNull(TZurFieldType::String);
    q.ExecSQL();
  }
}

} // namespace

const std::vector<TTableDecl>& TFamilySchema::Tables() {
  static const std::vector<TTableDecl> tables = {
      // --- framework -----------------------------------------------------------
      {"tvxs_schema", {{"svxsversione", K::Text, 20, true}}, {}},
      {"tvxu_parametri",
       {{"svxuchiave", K::Text, 64, true}, {"svxuvalore", K::Text, 255}},
       {"PRIMARY KEY (svxuchiave)"}},

      // --- year tables -----------------------------------------------------------
      {"tanf_annifinanz",
       {{"ianfid", K::Key},
        {"sanfdesc", K::Text, 9},
        {"danfvorexinizio", K::Date, 0, true},
        {"danfvorexfine", K::Date, 0, true}},
       {}},
      {"tans_anniscolast",
       {{"iansid", K::Key},
        {"sansdesc", K::Text, 9},
        {"dansvorexinizio", K::Date, 0, true},
        {"dansvorexfine", K::Date, 0, true}},
       {}},
      {"tmes_mesi",
       {{"imesid", K::Key}, {"smesdesc", K::Text, 20, true}},
       {"CHECK (imesid BETWEEN 1 AND 12)"}},

      // --- declaration store -----------------------------------------------------
      {"tcds_struttura",
       {{"icdsid", K::Key},
        {"icdsanno", K::Integer},
        {"icdsmese", K::Integer},
        {"scdsprogramma", K::Text, 20, true},
        {"scdsnome", K::Text, 64, true},
        {"bcdsschema", K::Blob},
        {"lcdsanagrafica", K::Flag, 0, true, "0"},
        {"lcdsfmapreadonly", K::Flag, 0, true, "0"},
        {"icdsrigo", K::Integer, 0, true, "0"},
        {"scdsfieldmap", K::LongText}},
       {},
       true},
      {"tcrf_crofiscale",
       {{"icrfid", K::Key},
        {"icrfanno", K::Integer},
        {"icrfmese", K::Integer},
        {"scrfprogramma", K::Text, 20, true}},
       {},
       true},
      {"tafi_anafiscale",
       {{"iafiid", K::Key},
        {"icrfid", K::Integer, 0, true},
        {"saficodfiscale", K::Text, 100},
        {"safigruppoana", K::Text, 255},
        {"safidenominazione", K::Text, 255},
        {"saficognome", K::Text, 60},
        {"safinome", K::Text, 60},
        {"safipartitaiva", K::Text, 11}},
       {"FOREIGN KEY (icrfid) REFERENCES tcrf_crofiscale (icrfid)"},
       true},
      // No reference from iafiid to tafi_anafiscale: the store deletes a
      // taxpayer entry before, and in another transaction than, the rows of
      // the other datasets that name it, and writes 0 where a dataset has no
      // taxpayer.
      {"tfis_datifiscali",
       {{"icdsid", K::Integer, 0, true},
        {"icrfid", K::Integer, 0, true},
        {"iafiid", K::Integer},
        {"ifisrigo", K::Integer, 0, true},
        {"sfisfieldname", K::Text, 64, true},
        {"ifisvalue", K::Integer},
        {"ffisvalue", K::Float},
        {"sfisvalue", K::LongText},
        {"dfisvalue", K::Date}},
       {"FOREIGN KEY (icdsid) REFERENCES tcds_struttura (icdsid)",
        "FOREIGN KEY (icrfid) REFERENCES tcrf_crofiscale (icrfid)"}},

      // One row per declaration of the program: the database itself keeps
      // declaration ids and fiscal codes unique between workstations, and the
      // version, raised by every save, lets a workstation see that another has
      // changed the declaration since it loaded it. Added after the store's
      // own tables, so older databases get it when the program first meets
      // them (CreateMissingTable).
      {"tzur_dichiarazioni",
       {{"iirapid", K::Key},
        {"sprogramma", K::Text, 20, true},
        {"ianno", K::Integer, 0, true},
        {"scodfiscale", K::Text, 100, true},
        {"iversione", K::Integer, 0, true, "1"}},
       {"UNIQUE (sprogramma, ianno, scodfiscale)"}},

      // --- registry of the school --------------------------------------------------
      {"treg_regioni", {{"iregid", K::Key}, {"sregdesc", K::Text, 60, true}}, {}},
      {"tpro_province",
       {{"iproid", K::Key},
        {"iregid", K::Integer, 0, true},
        {"sprodesc", K::Text, 60, true},
        {"sprosigla", K::Text, 2, true}},
       {"FOREIGN KEY (iregid) REFERENCES treg_regioni (iregid)"}},
      {"tcom_comuni",
       {{"icomid", K::Key},
        {"iproid", K::Integer, 0, true},
        {"scomdesc", K::Text, 80, true},
        {"scomcodcata", K::Text, 4}},
       {"FOREIGN KEY (iproid) REFERENCES tpro_province (iproid)"}},
      {"tcap_cap",
       {{"icapid", K::Key}, {"icomid", K::Integer, 0, true}, {"scapvalue", K::Text, 5, true}},
       {"FOREIGN KEY (icomid) REFERENCES tcom_comuni (icomid)"}},
      {"tsed_sedi",
       {{"isedid", K::Key},
        {"ssednomcodicefisc", K::Text, 16},
        {"ssednomldesc", K::Text, 255},
        {"ssedindindirizzo", K::Text, 255},
        {"icomid", K::Integer},
        {"icapid", K::Integer},
        {"ssedteltelefono", K::Text, 30},
        {"ssedfaxno", K::Text, 30},
        {"ssedemlemail", K::Text, 255}},
       {"FOREIGN KEY (icomid) REFERENCES tcom_comuni (icomid)",
        "FOREIGN KEY (icapid) REFERENCES tcap_cap (icapid)"}},
      {"tdwg_gruppilavoro",
       {{"idwgid", K::Key}, {"sdwgdesc", K::Text, 100}, {"isedid", K::Integer, 0, true}},
       {"FOREIGN KEY (isedid) REFERENCES tsed_sedi (isedid)"}},
      // Regional codes of the tax forms, found by the registry's descriptions.
      {"trepa_regioni",
       {{"irepacodice", K::Key},
        {"srepadescrizione", K::Text, 60, true},
        {"srepadescreg", K::Text, 60, true},
        {"srepadescpro", K::Text, 60}},
       {}},

      // --- payroll -----------------------------------------------------------------
      {"tpaco_parametri",
       {{"ipacoid", K::Key},
        {"spacocodateco2007", K::Text, 8},
        {"lpacoafam", K::Flag, 0, true, "0"},
        {"spacodenominazione", K::Text, 255}},
       {"CHECK (ipacoid = 1)"}},
      {"ttno_tipinomina", {{"itnoid", K::Key}, {"stnodesc", K::Text, 80, true}}, {}},
      // Pay items: icotfondamentale is the pay class (1 fundamental, 2
      // fundamental counted for collaborators, 3 ancillary), icotcodirap the
      // IRAP code (1 = subject to IRAP).
      {"tcot_competenze",
       {{"icotid", K::Key},
        {"scotcodice", K::Text, 10, true},
        {"scotdesc", K::Text, 80, true},
        {"icotfondamentale", K::Integer, 0, true},
        {"icotcodirap", K::Integer, 0, true, "0"}},
       {"CHECK (icotfondamentale IN (1, 2, 3))"}},
      {"tdip_dipendenti",
       {{"idipid", K::Key},
        {"sdipcodfiscale", K::Text, 16},
        {"sdipcognome", K::Text, 60, true},
        {"sdipnome", K::Text, 60}},
       {}},
      // One paid item of one worker in one month: its taxable amount and the
      // IRAP withheld on it.
      {"tregs_registrazioni",
       {{"iregsid", K::Key},
        {"ianfid", K::Integer, 0, true},
        {"imesid", K::Integer, 0, true},
        {"idipid", K::Integer, 0, true},
        {"itnoid", K::Integer, 0, true},
        {"icotid", K::Integer, 0, true},
        {"nregsimponibile", K::Amount, 0, true, "0"},
        {"nregsirap", K::Amount, 0, true, "0"}},
       {"FOREIGN KEY (ianfid) REFERENCES tanf_annifinanz (ianfid)",
        "FOREIGN KEY (imesid) REFERENCES tmes_mesi (imesid)",
        "FOREIGN KEY (idipid) REFERENCES tdip_dipendenti (idipid)",
        "FOREIGN KEY (itnoid) REFERENCES ttno_tipinomina (itnoid)",
        "FOREIGN KEY (icotid) REFERENCES tcot_competenze (icotid)"},
       true},
      {"ttim_tipiconto", {{"itimid", K::Key}, {"stimdesc", K::Text, 80, true}}, {}},
      // The chart of accounts, per financial year.
      {"tnaf_conti",
       {{"inafid", K::Key},
        {"ianfid", K::Integer, 0, true},
        {"itimid", K::Integer, 0, true},
        {"snafcodice", K::Text, 20, true},
        {"snafdesc", K::Text, 120}},
       {"FOREIGN KEY (ianfid) REFERENCES tanf_annifinanz (ianfid)",
        "FOREIGN KEY (itimid) REFERENCES ttim_tipiconto (itimid)"}},
  };
  return tables;
}

const std::vector<TIndexDecl>& TFamilySchema::Indexes() {
  static const std::vector<TIndexDecl> indexes = {
      // The store picks a structure by program and name.
      {"ix_cds_nome", "tcds_struttura", "lower(scdsprogramma), lower(scdsnome), icdsanno"},
      // One row per period; pnym_getcrofiscale relies on it when two programs
      // create the same period at once.
      {"ux_crf_periodo", "tcrf_crofiscale",
       "lower(scrfprogramma), coalesce(icrfanno, -1), coalesce(icrfmese, -1)", true},
      {"ix_afi_codfiscale", "tafi_anafiscale", "icrfid, lower(saficodfiscale)"},
      // A field is stored once per record: a second row would load as
      // whichever came last.
      {"ux_fis_campo", "tfis_datifiscali", "icdsid, ifisrigo, sfisfieldname, icrfid", true},
      {"ix_fis_periodo", "tfis_datifiscali", "icrfid, icdsid, ifisrigo"},
      {"ix_fis_anafiscale", "tfis_datifiscali", "iafiid"},
      // MAX(ifisvalue) of the IIRAPID rows when a declaration id is allocated.
      {"ix_fis_valore", "tfis_datifiscali", "sfisfieldname, ifisvalue"},
      {"ix_pro_regione", "tpro_province", "iregid"},
      {"ix_com_provincia", "tcom_comuni", "iproid"},
      // The IRAP statements filter on year, month and contract type and sum
      // the amounts: with these columns the index alone answers them.
      {"ix_regs_periodo", "tregs_registrazioni",
       "ianfid, imesid, itnoid, icotid, nregsimponibile, nregsirap"},
      {"ix_regs_dipendente", "tregs_registrazioni", "idipid"},
      {"ix_naf_tipo", "tnaf_conti", "itimid"},
      {"ix_naf_anno", "tnaf_conti", "ianfid"},
  };
  return indexes;
}

QStringList TFamilySchema::Ddl(const TSqlDialect& dialect) {
  QStringList ddl = dialect.SupportDdl();
  // Generators first: pnym_getcrofiscale on PostgreSQL names its sequence.
  for (const TTableDecl& t : Tables())
    if (t.generator) ddl << dialect.GeneratorDdl(QString::fromLatin1(t.name));
  for (const TTableDecl& t : Tables())
    ddl << TableSql(dialect, t);
  for (const TIndexDecl& i : Indexes())
    ddl << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
               .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), QString::fromLatin1(i.name),
                    QString::fromLatin1(i.table), QString::fromLatin1(i.columns));
  return ddl;
}

bool TFamilySchema::HasSchema(TVxSQLConnection& connection) {
  QStringList existing;
  for (const QString& name : connection.Database().tables(QSql::Tables))
    existing << name.toLower();
  for (const TTableDecl& t : Tables())
    if (existing.contains(QString::fromLatin1(t.name))) return true;
  if (connection.Dialect().IsSQLite() && existing.contains(QStringLiteral("tgen_generatori"))) return true;
  return false;
}

void TFamilySchema::Create(TVxSQLConnection& connection, bool demo,
                           const std::function<void(TVxSQLConnection&)>& populate) {
  ZurAssert(connection.Connected(), QStringLiteral("Connessione al database non aperta."));
  if (HasSchema(connection))
    throw EZurError(QStringLiteral("Il database contiene già lo schema del programma."));
  TVxTransaction transaction(connection);
  transaction.StartTransaction();
  for (const QString& statement : Ddl(connection.Dialect()))
    Exec(connection, statement);
  InsertReferenceData(connection);
  if (demo) TFamilyDemo::Insert(connection);
  if (populate) populate(connection);
  transaction.Commit();
}

bool TFamilySchema::CreateMissingTable(TVxSQLConnection& connection, const QString& table) {
  ZurAssert(connection.Connected(), QStringLiteral("Connessione al database non aperta."));
  const auto decl = std::find_if(Tables().begin(), Tables().end(), [&](const TTableDecl& t) {
    return table.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0;
  });
  ZurAssert(decl != Tables().end(), QStringLiteral("Tabella %1 non dichiarata nello schema.").arg(table));
  for (const QString& name : connection.Database().tables(QSql::Tables))
    if (name.compare(table, Qt::CaseInsensitive) == 0) return false;
  std::optional<TVxTransaction> transaction;
  if (!connection.InTransaction()) {
    transaction.emplace(connection);
    transaction->StartTransaction();
  }
  Exec(connection, TableSql(connection.Dialect(), *decl));
  for (const TIndexDecl& i : Indexes())
    if (table.compare(QLatin1String(i.table), Qt::CaseInsensitive) == 0)
      Exec(connection, QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                           .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), QString::fromLatin1(i.name),
                                QString::fromLatin1(i.table), QString::fromLatin1(i.columns)));
  if (transaction) transaction->Commit();
  return true;
}

QString TFamilySchema::StoredVersion(TVxSQLConnection& connection) {
  if (!HasSchema(connection)) return {};
  TZurQuery q(connection);
  q.SetSQL(QStringLiteral("SELECT svxsversione FROM tvxs_schema"));
  q.Open();
  return q.Fields(0).AsString();
}
