#include "db/SqliteExtensions.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace {

// --- pnym_getcrofiscale --------------------------------------------------------

enum Column { kIcrfid = 0, kProgramma = 1, kAnno = 2, kMese = 3 };
constexpr int kArgCount = 3;

struct CroTable {
  sqlite3_vtab base;
  sqlite3* db;
};

struct CroCursor {
  sqlite3_vtab_cursor base;
  sqlite3_int64 id;
  bool eof;
};

class Statement {
public:
  Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  int rc() const { return m_rc; }
  sqlite3_stmt* get() const { return m_stmt; }

private:
  sqlite3_stmt* m_stmt = nullptr;
  int m_rc;
};

int Fail(sqlite3_vtab* table, int rc, const char* message) {
  sqlite3_free(table->zErrMsg);
  table->zErrMsg = sqlite3_mprintf("pnym_getcrofiscale: %s", message);
  return rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_ERROR : rc;
}

int FailDb(sqlite3_vtab* table, sqlite3* db, int rc) {
  return Fail(table, rc, sqlite3_errmsg(db));
}

// SQLITE_ROW with *id set, SQLITE_DONE when there is no such period.
int FindPeriod(sqlite3_vtab* table, sqlite3* db, sqlite3_value** argv, sqlite3_int64* id) {
  Statement find(db, "SELECT icrfid FROM tcrf_crofiscale WHERE lower(scrfprogramma) = lower(?1) "
                     "AND icrfanno IS ?2 AND icrfmese IS ?3 ORDER BY icrfid LIMIT 1");
  if (find.rc() != SQLITE_OK) return FailDb(table, db, find.rc());
  for (int i = 0; i < kArgCount; ++i)
    sqlite3_bind_value(find.get(), i + 1, argv[i]);
  const int rc = sqlite3_step(find.get());
  if (rc == SQLITE_ROW) *id = sqlite3_column_int64(find.get(), 0);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return FailDb(table, db, rc);
  return rc;
}

int CreatePeriod(sqlite3_vtab* table, sqlite3* db, sqlite3_value** argv) {
  sqlite3_int64 id = 0;
  {
    Statement next(db, "UPDATE tgen_generatori SET igenvalore = igenvalore + 1 "
                       "WHERE sgennome = 'tcrf_crofiscale' RETURNING igenvalore");
    if (next.rc() != SQLITE_OK) return FailDb(table, db, next.rc());
    const int rc = sqlite3_step(next.get());
    if (rc == SQLITE_DONE) return Fail(table, SQLITE_ERROR, "generatore di tcrf_crofiscale mancante");
    if (rc != SQLITE_ROW) return FailDb(table, db, rc);
    id = sqlite3_column_int64(next.get(), 0);
    // RETURNING rows are all produced before the first one is handed out, so
    // stepping to the end only finishes the statement.
    while (sqlite3_step(next.get()) == SQLITE_ROW) {
    }
  }
  // A concurrent creator may have won between our look-up and this insert:
  // the unique index on the period turns ours into a no-op and the caller
  // looks the period up again.
  Statement insert(db, "INSERT INTO tcrf_crofiscale (icrfid, icrfanno, icrfmese, scrfprogramma) "
                       "VALUES (?1, ?2, ?3, lower(?4)) ON CONFLICT DO NOTHING");
  if (insert.rc() != SQLITE_OK) return FailDb(table, db, insert.rc());
  sqlite3_bind_int64(insert.get(), 1, id);
  sqlite3_bind_value(insert.get(), 2, argv[1]);
  sqlite3_bind_value(insert.get(), 3, argv[2]);
  sqlite3_bind_value(insert.get(), 4, argv[0]);
  const int rc = sqlite3_step(insert.get());
  if (rc != SQLITE_DONE) return FailDb(table, db, rc);
  return SQLITE_OK;
}

int CroConnect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out, char**) {
  const int rc = sqlite3_declare_vtab(
      db, "CREATE TABLE x(icrfid INTEGER, sprogramma HIDDEN, ianno HIDDEN, imese HIDDEN)");
  if (rc != SQLITE_OK) return rc;
  auto* table = static_cast<CroTable*>(sqlite3_malloc(sizeof(CroTable)));
  if (!table) return SQLITE_NOMEM;
  std::memset(table, 0, sizeof(CroTable));
  table->db = db;
  // It writes: keep it out of views and triggers, where a schema could make it
  // run behind the user's back.
  sqlite3_vtab_config(db, SQLITE_VTAB_DIRECTONLY);
  *out = &table->base;
  return SQLITE_OK;
}

int CroDisconnect(sqlite3_vtab* table) {
  sqlite3_free(table);
  return SQLITE_OK;
}

int CroBestIndex(sqlite3_vtab* table, sqlite3_index_info* info) {
  int constraintOf[kArgCount] = {-1, -1, -1};
  bool unusable = false;
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (c.iColumn < kProgramma || c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
    if (!c.usable) {
      unusable = true;
      continue;
    }
    constraintOf[c.iColumn - kProgramma] = i;
  }
  for (int arg = 0; arg < kArgCount; ++arg) {
    if (constraintOf[arg] >= 0) continue;
    // An unusable argument only rules out this plan; a missing one is an
    // error in the statement.
    if (unusable) return SQLITE_CONSTRAINT;
    return Fail(table, SQLITE_ERROR, "servono tre argomenti (programma, anno, mese)");
  }
  for (int arg = 0; arg < kArgCount; ++arg) {
    info->aConstraintUsage[constraintOf[arg]].argvIndex = arg + 1;
    info->aConstraintUsage[constraintOf[arg]].omit = 1;
  }
  info->estimatedCost = 1;
  info->estimatedRows = 1;
  info->idxFlags = SQLITE_INDEX_SCAN_UNIQUE;
  return SQLITE_OK;
}

int CroOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  auto* cursor = static_cast<CroCursor*>(sqlite3_malloc(sizeof(CroCursor)));
  if (!cursor) return SQLITE_NOMEM;
  std::memset(cursor, 0, sizeof(CroCursor));
  cursor->eof = true;
  *out = &cursor->base;
  return SQLITE_OK;
}

int CroClose(sqlite3_vtab_cursor* cursor) {
  sqlite3_free(cursor);
  return SQLITE_OK;
}

int CroFilter(sqlite3_vtab_cursor* base, int, const char*, int argc, sqlite3_value** argv) {
  auto* cursor = reinterpret_cast<CroCursor*>(base);
  auto* table = reinterpret_cast<CroTable*>(base->pVtab);
  cursor->eof = true;
  if (argc != kArgCount)
    return Fail(&table->base, SQLITE_ERROR, "servono tre argomenti (programma, anno, mese)");
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
    return Fail(&table->base, SQLITE_ERROR, "codice programma mancante");
  sqlite3_int64 id = 0;
  int rc = FindPeriod(&table->base, table->db, argv, &id);
  if (rc == SQLITE_DONE) {
    rc = CreatePeriod(&table->base, table->db, argv);
    if (rc != SQLITE_OK) return rc;
    rc = FindPeriod(&table->base, table->db, argv, &id);
    if (rc == SQLITE_DONE) return Fail(&table->base, SQLITE_ERROR, "periodo fiscale non creato");
  }
  if (rc != SQLITE_ROW) return rc;
  cursor->id = id;
  cursor->eof = false;
  return SQLITE_OK;
}

int CroNext(sqlite3_vtab_cursor* base) {
  reinterpret_cast<CroCursor*>(base)->eof = true;
  return SQLITE_OK;
}

int CroEof(sqlite3_vtab_cursor* base) {
  return reinterpret_cast<CroCursor*>(base)->eof ? 1 : 0;
}

int CroColumn(sqlite3_vtab_cursor* base, sqlite3_context* ctx, int column) {
  if (column == kIcrfid)
    sqlite3_result_int64(ctx, reinterpret_cast<CroCursor*>(base)->id);
  else
    sqlite3_result_null(ctx);
  return SQLITE_OK;
}

int CroRowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  *rowid = reinterpret_cast<CroCursor*>(base)->id;
  return SQLITE_OK;
}

sqlite3_module MakeCroModule() {
  sqlite3_module m;
  std::memset(&m, 0, sizeof m);
  m.iVersion = 0;
  m.xCreate = nullptr; // eponymous only: no CREATE VIRTUAL TABLE
  m.xConnect = CroConnect;
  m.xBestIndex = CroBestIndex;
  m.xDisconnect = CroDisconnect;
  m.xDestroy = CroDisconnect;
  m.xOpen = CroOpen;
  m.xClose = CroClose;
  m.xFilter = CroFilter;
  m.xNext = CroNext;
  m.xEof = CroEof;
  m.xColumn = CroColumn;
  m.xRowid = CroRowid;
  return m;
}

const sqlite3_module kCroModule = MakeCroModule();

// --- nym_importo -------------------------------------------------------------

void NymImporto(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_int64 raw = 0;
  switch (sqlite3_value_numeric_type(argv[0])) {
  case SQLITE_NULL:
    sqlite3_result_null(ctx);
    return;
  case SQLITE_INTEGER:
    raw = sqlite3_value_int64(argv[0]);
    break;
  case SQLITE_FLOAT: {
    // Only a whole number of ten-thousandths is an amount here; anything else
    // means a value was stored in another unit and the sum would be wrong.
    const double d = sqlite3_value_double(argv[0]);
    if (!std::isfinite(d) || std::fabs(d) > 9.0e18 || d != std::trunc(d)) {
      sqlite3_result_error(ctx, "nym_importo: importo non espresso in decimillesimi", -1);
      return;
    }
    raw = static_cast<sqlite3_int64>(d);
    break;
  }
  default:
    sqlite3_result_error(ctx, "nym_importo: importo non numerico", -1);
    return;
  }
  const bool negative = raw < 0;
  const unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(raw) : static_cast<unsigned long long>(raw);
  char text[40];
  std::snprintf(text, sizeof text, "%s%llu.%04llu", negative ? "-" : "", magnitude / 10000ULL,
                magnitude % 10000ULL);
  sqlite3_result_text(ctx, text, -1, SQLITE_TRANSIENT);
}

} // namespace

int RegisterSqliteExtensions(sqlite3* db) {
  int rc = sqlite3_create_module_v2(db, "pnym_getcrofiscale", &kCroModule, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_create_function_v2(db, "nym_importo", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                  nullptr, NymImporto, nullptr, nullptr, nullptr);
  return rc;
}
