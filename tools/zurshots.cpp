// zur24-shots OUTDIR: runs the window program on a fresh demo database
// (offscreen unless a display is asked for) and writes a PNG of the main
// window on each page, of its menus and of every window and dialog the clerk
// meets: the input box of a new declaration, the choice in both modes, the
// information window, the import with its log, the telematic file, the wait
// and search windows, the code-table lookup, the developer menu and its page
// export, the warnings and the close query. Look at them after changing a
// window.
#include "db/FamilySchema.h"
#include "db/VxSQLConnection.h"
#include "declaration/ZurCatalogue.h"
#include "declaration/ZurDeclarationJson.h"
#include "declaration/zurMDati.h"
#include "forms/ZurFormDescription.h"
#include "platform/zurUGlobal.h"
#include "ui/ZurQtPlatform.h"
#include "ui/nymFRicerca.h"
#include "ui/nymFWait.h"
#include "ui/zurFFileTelematico.h"
#include "ui/zurFImport.h"
#include "ui/zurFInfo.h"
#include "ui/zurFMain.h"
#include "ui/zurFMainForm.h"
#include "ui/zurFPaginePDF.h"
#include "ui/zurFScegliIrap.h"
#include "ui/zurFXMLTable.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <functional>
#include <tuple>

namespace {

QString g_out;
int g_count = 0;

void Shot(QWidget* w, const QString& name) {
  QApplication::processEvents();
  const QString path = QDir(g_out).filePath(name + QStringLiteral(".png"));
  if (!w->grab().save(path)) QTextStream(stderr) << "impossibile scrivere " << path << "\n";
  ++g_count;
}

// The next modal window, once it is up: photographed, then handled.
void NextModal(const QString& name, std::function<void(QWidget*)> handle) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, name, handle] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    timer->stop();
    timer->deleteLater();
    Shot(modal, name);
    handle(modal);
  });
  timer->start();
}

void Click(QWidget* dialog, const QString& caption) {
  for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
    if (b->text().remove(QLatin1Char('&')) == caption) {
      b->click();
      return;
    }
  if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
}

void Answer(QWidget* dialog, const QString& text) {
  if (auto* input = qobject_cast<QInputDialog*>(dialog)) {
    input->setTextValue(text);
    input->accept();
  }
}

// A declaration of the demo school whose checks pass, for the telematic file.
constexpr const char* kDeclaration = R"({"cdsFrontespizio": {
  "DIRAPPERIODOIMPOSTADAL": "2024-01-01", "DIRAPPERIODOIMPOSTAAL": "2024-12-31", "LIRAPSESSO": "M",
  "SIRAPCODCARICA": "1", "SIRAPCODFISRAPFIRMATARIO": "RSSMRA70A01H501U", "SIRAPNATURAGIURIDICA": "51",
  "SIRAPSITUAZIONE": "1", "SIRAPSTATO": "1", "SIRAPCOGNOME": "Rossi", "SIRAPNOME": "Mario",
  "DIRAPDATANASCITA": "1970-01-01", "SIRAPCOMUNENASCITA": "Roma", "SIRAPPROVINCIANASCITA": "RM",
  "SIRAPDENOM": "Istituto Comprensivo Le Betulle", "LIRAPIK": "1", "LIRAPIR": "1", "LIRAPIS": "1"},
 "cdsQuadroIK": {"FIKVALIRAP4": 0}})";

// Documents are not opened while taking pictures.
class TShotPlatform : public TZurQtPlatform {
public:
  void OpenDocument(const QString&) override {}
};

void CopyTree(const QString& from, const QString& to) {
  QDir().mkpath(to);
  for (const QFileInfo& fi : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (fi.isDir())
      CopyTree(fi.filePath(), to + QLatin1Char('/') + fi.fileName());
    else
      QFile::copy(fi.filePath(), to + QLatin1Char('/') + fi.fileName());
  }
}

void MenuShot(TfmZurMain& w, QMenu* menu, const QString& name) {
  const QRect r = w.menuBar()->actionGeometry(menu->menuAction());
  menu->popup(w.mapToGlobal(QPoint(r.left(), r.bottom() + w.menuBar()->y())));
  QApplication::processEvents();
  // The window with its menu open, as the clerk sees it.
  QPixmap shot(w.size().expandedTo(QSize(w.width(), menu->height() + r.bottom() + 4)));
  shot.fill(Qt::white);
  QPainter p(&shot);
  p.drawPixmap(0, 0, w.grab());
  p.drawPixmap(r.left(), r.bottom() + w.menuBar()->y() + 1, menu->grab());
  p.end();
  shot.save(QDir(g_out).filePath(name + QStringLiteral(".png")));
  ++g_count;
  menu->hide();
}

// Every field of the form filled as a clerk would fill it, so the pages are
// photographed full: amounts, years, dates, codes that exist in their
// tables, ticked boxes, and three regional rows.
void FillDeclaration(TdmZurDati& dati) {
  using namespace zurform;
  const TZurFormDescription form = TZurFormDescription::Load();
  int n = 0;
  auto value = [&n](const TFormField& f) -> QString {
    ++n;
    if (f.kind == TControlKind::Check) return QStringLiteral("1");
    if (f.kind == TControlKind::Combo) return f.values.value(1);
    if (f.kind == TControlKind::Label) return {};
    if (f.kind == TControlKind::Sex) return QStringLiteral("F");
    if (f.kind == TControlKind::Lookup)
      return f.TableName() == QLatin1String("CODREG") ? QStringLiteral("08")
             : f.width >= 2                           ? QStringLiteral("01")
                                                      : QStringLiteral("1");
    switch (f.format) {
    case TPrintFormat::Amount:
      return QString::number(1000 + n * 137);
    case TPrintFormat::Year:
      return QStringLiteral("2023");
    case TPrintFormat::Integer:
      return QString::number(n % 9 + 1);
    case TPrintFormat::Flag:
      return QStringLiteral("1");
    case TPrintFormat::Decimal:
      return QStringLiteral("3,90");
    default:
      break;
    }
    if (f.name.contains(QLatin1String("CODFIS")) || f.name.contains(QLatin1String("CF")))
      return QStringLiteral("RSSMRA80A01H501U").left(f.width);
    if (f.name.contains(QLatin1String("ATECO"))) return QStringLiteral("85.31.10");
    if (f.width <= 5) return QStringLiteral("12345").left(f.width);
    return QStringLiteral("ISTITUTO COMPRENSIVO VIA DEI MILLE 12").left(f.width);
  };
  for (const TFormPage& page : form.Pages()) {
    TClientDataSet* ds = dati.DataSetByName(page.dataSet);
    if (!ds || page.repeat > 0) continue;
    ds->Edit();
    for (const TFormField* f : page.Fields()) {
      if (f->readOnly || f->disabled || f->hidden) continue;
      TField& field = ds->FieldByName(f->name);
      const bool date = f->kind == TControlKind::Date || f->format == TPrintFormat::Date;
      if (date && field.DataType() == TFieldType::Date)
        field.SetAsDate(QDate(2024, 1 + n++ % 12, 15));
      else if (date)
        field.SetAsInteger(qint32(QDate(1899, 12, 30).daysTo(QDate(2024, 3, 1))));
      else
        field.SetAsString(value(*f));
    }
    ds->Post();
  }
  dati.cdsFrontespizio.Edit();
  dati.cdsFrontespizio.FieldByName(QStringLiteral("SIRAPREGIONE")).SetAsString(QStringLiteral("LAZIO"));
  dati.cdsFrontespizio.Post();
  TClientDataSet& rows = dati.cdsQuadroIRVar;
  const char* regions[] = {"08", "12", "21"};
  for (const char* region : regions) {
    rows.Append();
    rows.FieldByName(QStringLiteral("SIRCODREGIONE")).SetAsString(QLatin1String(region));
    rows.FieldByName(QStringLiteral("SIRAGEREGIONE")).SetAsString(QStringLiteral("0001"));
    for (const char* f : {"FIRBASEIMP", "FIRIMPOSTA", "FIRTOTACCONTI", "FIRDEBITO", "FIRDEB_F24"})
      rows.FieldByName(QLatin1String(f)).SetAsInteger(250000 + n++ * 1000);
    rows.Post();
  }
  rows.First();
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TZurGuiApplication app(argc, argv);
  InstallItalianTranslations(app);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 2) {
    QTextStream(stderr) << "uso: zur24-shots CARTELLA\n";
    return 2;
  }
  g_out = args[1];
  QDir().mkpath(g_out);

  // A root of our own with the installed data and a fresh demo database.
  QTemporaryDir root;
  const QString installed = zur::RootDirFromExecutable(QCoreApplication::applicationFilePath());
  for (const char* dir : {"USR", "etc"})
    CopyTree(installed + QLatin1String(dir), root.filePath(QLatin1String(dir)));
  // Developer mode, for the developer menu's windows.
  QDir().mkpath(root.filePath(QStringLiteral("ETC/ZUR")));
  QFile(root.filePath(QStringLiteral("ETC/ZUR/dev"))).open(QIODevice::WriteOnly);
  const QString db = root.filePath(QStringLiteral("USR/FRDati/zur24.sqlite"));
  QDir().mkpath(QFileInfo(db).absolutePath());
  QFile::remove(db);
  {
    TVxSQLConnection conn;
    conn.SetDatabaseUrl(db);
    if (!conn.Open()) {
      QTextStream(stderr) << conn.LastError() << "\n";
      return 1;
    }
    TFamilySchema::Create(conn, true, TZurCatalogue::WriteStructureRows);
  }

  TShotPlatform platform;
  TZurApplication::TOptions options;
  options.rootDir = root.path();
  options.databaseUrl = db;
  options.executableName = QStringLiteral("zur24");
  options.version = QStringLiteral(ZUR_VERSION);
  TfmZurMainForm host(options, &platform);

  NextModal(QStringLiteral("01-nuovo-codice-fiscale"),
            [](QWidget* d) { Answer(d, QStringLiteral("97123450583")); });
  TfmZurMain* w = host.StartUp();
  if (!w) return 1;
  // The resize timer maximises the window first; the pictures use its design size.
  while (w->tiResize->isActive())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  w->showNormal();
  w->resize(1280, 750);
  FillDeclaration(host.Application()->Dati());
  w->Open();
  const char* pages[] = {"02-pagina-frontespizio", "03-pagina-quadro-ik", "04-pagina-quadro-ir",
                         "05-pagina-quadro-ir-32-40", "06-pagina-quadro-is"};
  for (int i = 0; i < 5; ++i) {
    if (i == TfmZurMain::pgIR)
      NextModal(QStringLiteral("04a-avviso-quadro-ir"), [](QWidget* d) { Click(d, QStringLiteral("OK")); });
    w->paMain->setCurrentIndex(i);
    QApplication::processEvents();
    Shot(w, QLatin1String(pages[i]));
  }
  w->paMain->setCurrentIndex(0);
  MenuShot(*w, w->mnFile, QStringLiteral("07-menu-file"));
  MenuShot(*w, w->mnVisualizza, QStringLiteral("08-menu-visualizza"));
  MenuShot(*w, w->mnUtilita, QStringLiteral("09-menu-utilita"));
  MenuShot(*w, w->mnHelp, QStringLiteral("10-menu-aiuto"));

  // A second declaration, then the choice in both modes.
  NextModal(QStringLiteral("11-nuovo-secondo-codice"),
            [](QWidget* d) { Answer(d, QStringLiteral("RSSMRA80A01H501U")); });
  w->miNuovo->trigger();
  NextModal(QStringLiteral("12-scelta-apri"), [](QWidget* d) { Click(d, QStringLiteral("Scegli")); });
  w->miApri->trigger();
  NextModal(QStringLiteral("13-scelta-elimina"), [](QWidget* d) { Click(d, QStringLiteral("Annulla")); });
  w->miElimina->trigger();

  // The save with checks of a declaration still empty: its findings.
  NextModal(QStringLiteral("14-informazioni-controlli"), [](QWidget* d) { Click(d, QStringLiteral("OK")); });
  w->miSalva->trigger();
  // The import of the whole year 2024 from the demo payroll: the window as
  // it opens, the overwrite question, the log of the finished import.
  NextModal(QStringLiteral("15-import"), [](QWidget* d) {
    auto* dlg = dynamic_cast<TfmZurImport*>(d);
    if (dlg) {
      dlg->spAnnoDal->setValue(2024);
      dlg->SpAnnoAl->setValue(2024);
      dlg->cbMeseDal->setCurrentIndex(0);
      dlg->cbMeseAl->setCurrentIndex(11);
      // The declaration holds the agent's data already: the question, Yes.
      NextModal(QStringLiteral("15b-import-domanda-sostituto"),
                [](QWidget* q) { Click(q, QStringLiteral("Sì")); });
      dlg->buImportaClick();
      Shot(dlg, QStringLiteral("15a-import-terminato"));
    }
    Click(d, QStringLiteral("Esci"));
  });
  w->miImport->trigger();
  NextModal(QStringLiteral("16-informazioni-su"), [](QWidget* d) { Click(d, QStringLiteral("OK")); });
  w->miInformazioni->trigger();

  // The telematic file of a declaration whose checks pass: the window, the
  // error of an empty supplier type, then cancelled.
  TdmZurDati& dati = host.Application()->Dati();
  SetDeclarationJson(dati, ParseDeclarationJson(kDeclaration, QStringLiteral("zurshots")));
  // The imported value of production carried to the rows that must equal it.
  TClientDataSet& ik = dati.cdsQuadroIK;
  if (ik.State() == TDataSetState::Browse) ik.Edit();
  for (const char* f : {"FIKAMMONTARE27", "FIKBASEIMP37"})
    ik.FieldByName(QLatin1String(f))
        .SetAsCurrency(ik.FieldByName(QStringLiteral("FIKVALIRAP5")).AsCurrency());
  ik.Post();
  NextModal(QStringLiteral("20-file-telematico"), [](QWidget* d) {
    if (auto* dlg = dynamic_cast<TfmZurFileTelematico*>(d)) {
      // The clerk empties the type: select all, Backspace.
      dlg->deTipoFornitore->setFocus();
      dlg->deTipoFornitore->selectAll();
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
      QApplication::sendEvent(dlg->deTipoFornitore, &press);
      NextModal(QStringLiteral("20a-file-telematico-obbligatori"),
                [](QWidget* m) { Click(m, QStringLiteral("OK")); });
      dlg->buCreaFileTelematicoClick();
    }
    Click(d, QStringLiteral("Annulla"));
  });
  w->miCreaFileTel->trigger();

  // The developer menu and its page export.
  MenuShot(*w, w->mnDev, QStringLiteral("21-menu-dev"));
  NextModal(QStringLiteral("22-copia-pagine-pdf"), [&root](QWidget* d) {
    if (auto* dlg = dynamic_cast<TfmZurPaginePDF*>(d)) {
      dlg->edFileName->setText(root.filePath(QStringLiteral("USR/FR2024/Res/CoordStp/IRAP_mod.pdf")));
      dlg->edPersonalizza->setText(QStringLiteral("22,23"));
      dlg->raPersonalizzate->setChecked(true);
      Shot(dlg, QStringLiteral("22a-copia-pagine-pdf-personalizzate"));
    }
    Click(d, QStringLiteral("Chiudi"));
  });
  for (QAction* a : w->mnDev->actions())
    if (a->text() == QStringLiteral("Esporta pagine da PDF")) a->trigger();

  platform.ShowWaitWindow(true);
  platform.WaitWindow().SetProgress(37000, 111000);
  Shot(&platform.WaitWindow(), QStringLiteral("17-attendere"));
  platform.ShowWaitWindow(false);

  TfmNymRicerca* search = host.SearchWindow();
  search->cdsSearch.AddFieldDef(QStringLiteral("SIRAPCODFIS"), TFieldType::String, 16);
  search->cdsSearch.AddFieldDef(QStringLiteral("IIRAPID"), TFieldType::Integer);
  search->cdsSearch.AddFieldDef(QStringLiteral("SIRAPDENOM"), TFieldType::String, 60);
  search->cdsSearch.CreateDataSet();
  dati.cdsFrontespizio.SetFiltered(false);
  for (dati.cdsFrontespizio.First(); !dati.cdsFrontespizio.Eof(); dati.cdsFrontespizio.Next()) {
    search->cdsSearch.Append();
    for (const char* f : {"SIRAPCODFIS", "IIRAPID", "SIRAPDENOM"})
      search->cdsSearch.FieldByName(QLatin1String(f))
          .SetAsString(dati.cdsFrontespizio.FieldByName(QLatin1String(f)).AsString());
    search->cdsSearch.Post();
  }
  search->DataOpened();
  search->show();
  search->edValue->setText(QStringLiteral("RS"));
  Shot(search, QStringLiteral("18-ricerca"));
  search->hide();

  // The code-table lookup: the regions (a table without description), and a
  // table with its description above the grid, searched by code.
  for (const auto& [table, name, text] : {std::tuple{"CODREG", "18a-tabella-regioni", "1"},
                                          std::tuple{"TABB", "18b-tabella-natura-giuridica", "1"}}) {
    TfmZurXMLTable lookup(QString::fromLatin1(table));
    lookup.show();
    lookup.edCerca->setText(QLatin1String(text));
    Shot(&lookup, QLatin1String(name));
    lookup.reject();
  }

  // An edit, then the close query with pending changes; No closes.
  dati.cdsFrontespizio.Edit();
  NextModal(QStringLiteral("19-domanda-uscita"), [](QWidget* d) { Click(d, QStringLiteral("No")); });
  w->close();
  QTextStream(stdout) << g_count << " immagini in " << QDir(g_out).absolutePath() << "\n";
  return 0;
}
