#pragma once

#include <QMainWindow>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QWidget;
class TZurApplication;
class TdmZurDati;
class TdmZurFileTelIRAP;
class TfrZurFrontespizio;
class TfrZurQuadroIK;
class TfrZurQuadroIR;
class TfrZurQuadroIRVar;
class TfrZurQuadroIS;

// The declaration window: five pages for the cover page and the quadri, the
// main menu with the lifecycle commands (new, open, save, delete), printing,
// the documents and the close query. Every rule runs in the declaration
// module; the window asks, enables and shows.
class TfmZurMain : public QMainWindow {
public:
  enum TPage { pgFrontespizio = 0, pgIK = 1, pgIR = 2, pgIRVar = 3, pgIS = 4 };

  explicit TfmZurMain(TZurApplication& app, QWidget* parent = nullptr);
  ~TfmZurMain() override;

  // The last step of start-up: a new declaration when there is no cover page,
  // otherwise pending edits are posted and the declaration is opened (with
  // the choice when there are several).
  void EnterFirstDeclaration();

  // --- the window commands -------------------------------------------------------------
  void New();
  void Open();
  void Delete();
  // The save with checks of "Salva", the close query, the print items and
  // the telematic file: true when every check passed, false when a check
  // found something (the data is saved all the same), nothing when the save
  // itself failed; the error has then been shown and the clerk's edits stay
  // in the datasets with the modified flag set.
  std::optional<bool> SaveWithChecks();
  void Save();
  // "I&mport": the import window over the open declaration.
  void Import();
  // 0 Frontespizio, 1 Quadro IK, 2 Quadro IR, 3 Quadro IS.
  void Print(int group);
  // "Crea&zione file telematico": the save with checks and, only when every
  // check passed, the telematic file dialog.
  void CreaFileTelematico();
  // The program's telematic-file module, which the dialog runs.
  void SetFileTelIRAP(TdmZurFileTelIRAP* modulo) { m_fileTel = modulo; }
  void OpenErrorDetail();
  void OpenReleaseNotes();
  void OpenInstructions();
  void ShowAbout();

  // The file the agency's checking program writes its findings to (ours, else
  // Entratel's); the item that opens it is enabled only while it exists.
  static QString ErrorDetailPath();
  static QString ReleaseNotesPath();
  static QString ReleaseNotesMarker();
  static QString InstructionsPath();
  static bool DeveloperMode();
  // The About box's text: program, version, Qt, database in use (without
  // its password).
  QString AboutText() const;

  // --- components ----------------------------------------------------------------------------
  QTabWidget* paMain;
  QWidget* tsFrontespizio;
  QWidget* tsIK;
  QWidget* tsIR;
  QWidget* tsIRVar;
  QWidget* tsIS;
  TfrZurFrontespizio* frZurFrontespizio1;
  TfrZurQuadroIK* frZurQuadroIK1;
  TfrZurQuadroIR* frZurQuadroIR1;
  TfrZurQuadroIRVar* frZurQuadroIRVar1;
  TfrZurQuadroIS* frZurQuadroRX1;
  QLabel* StatusPanel;
  QTimer* tiResize;

  QMenu* mnFile;
  QMenu* mnVisualizza;
  QMenu* mnUtilita;
  QMenu* mnHelp;
  QMenu* mnDev;
  QMenu* mnStampa;
  QAction* miNuovo;
  QAction* miApri;
  QAction* miElimina;
  QAction* miChiudi;
  QAction* miSalva;
  QAction* miImport;
  QAction* miStampa;
  QAction* miStampaFrontespizio;
  QAction* miStampaIK;
  QAction* miStampaIR;
  QAction* miStampaIS;
  QAction* miEsci;
  QAction* ac1024;
  QAction* miVisFrontespizio;
  QAction* miVisIK;
  QAction* miVisIR;
  QAction* miVisIRVar;
  QAction* miVisIS;
  QAction* miCreaFileTel;
  QAction* miDettaglioErrori;
  QAction* miNotizie;
  QAction* miIstruzioni;
  QAction* miInformazioni;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildPages();
  void BuildMenu();
  void BuildDevMenu();
  // Runs a command; an error reaches the clerk as a message box and never
  // leaves the window half-way.
  void Guard(const std::function<void()>& command);
  QAction* AddItem(QMenu* menu, const QString& caption, const std::function<void()>& command,
                   const QKeySequence& shortcut = {});
  // Attaches every frame's data source that has no dataset yet to its
  // dataset; a failure is shown and leaves all five unbound.
  void BindFrames();
  void UnbindFrames();
  void AfterLifecycleCommand();
  bool CloseQuery();
  void PageChanged(int index);

  TZurApplication& m_app;
  TdmZurDati& m_dati;
  TdmZurFileTelIRAP* m_fileTel = nullptr;
  bool m_shown = false;
  QWidget* m_selectedFrame = nullptr;
  QMetaObject::Connection m_focusWatch;
};
