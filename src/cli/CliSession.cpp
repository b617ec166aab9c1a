#include "cli/CliSession.h"

#include "handheld/Search.h"
#include "net/Helpers.h"
#include "update/SequenceSupport.h"
#include "update/Sequences.h"

namespace kavelo::cli {

using handheld::kKaveloPort;

namespace {

// y or yes, or yes in another language of the table by its first letter (ja, oui, sí, sì, ano).
bool IsYes(const QString& answer) {
  const QString a = answer.trimmed().toLower();
  return !a.isEmpty() && QStringLiteral("yjosa").contains(a.front());
}

QString RestartText() {
  return LocalizedText(192) + " Kavelo";
}

} // namespace

TCliSession::TCliSession(const TCliOptions& options, const TCliEnvironment& environment,
                         ICliReport& report, TCliView::TLogSink logFile)
    : fOptions(options), fEnvironment(environment), fReport(report),
      fView(fKavelo, report, options, std::move(logFile)) {
  if (environment.LinkFactory) fKavelo.SetLinkFactory(environment.LinkFactory);
  fKavelo.SetProgress(
      [this](const void*, int32_t max, int32_t position) { fView.Progress(max, position); });
}

int TCliSession::Box(const QString& Text, const QString& Caption, uint32_t Flags) {
  if ((Flags & 0x0F) != (MB_ICONINFORMATION_YESNO & 0x0F)) {
    fReport.Message(Caption, Text);
    return IDOK;
  }
  // Single-step mode is never on here: a question is the version question.
  bool yes = false;
  QString by;
  switch (fOptions.Answer) {
  case TVersionAnswer::Yes:
    yes = true;
    by = QStringLiteral("--yes");
    break;
  case TVersionAnswer::SkipCurrent:
    by = QStringLiteral("--skip-current");
    break;
  case TVersionAnswer::Ask:
    if (fEnvironment.InIsTerminal && fEnvironment.ReadAnswer) {
      fReport.Prompt(Text);
      const std::optional<QString> answer = fEnvironment.ReadAnswer();
      yes = answer && IsYes(*answer);
      by = QStringLiteral("terminal");
    } else {
      by = QStringLiteral("no terminal");
    }
    break;
  }
  fReport.Question(Caption, Text, yes, by);
  return yes ? IDYES : IDNO;
}

QString TCliSession::OpenFailureText(const QString& target) const {
  uint32_t local = LocalIPInSubnet(StrToIP(target, InvalidIP));
  if (local == InvalidIP && fOptions.Command == TCommand::Search) local = FirstLocalIP();
  const QString where = local == InvalidIP ? QStringLiteral("any address") : IPToStr(local);
  // The link's endpoint is missing when its socket could not be bound; on an address of this
  // machine the one reason is another socket on the port (the window, a second kavelo-cli).
  const IKaveloLink* link = fKavelo.Device();
  if (link && !link->HasServer())
    return QStringLiteral("cannot open UDP port %1 on %2: port %1 is in use by another program")
        .arg(kKaveloPort)
        .arg(where);
  return QStringLiteral("cannot open UDP port %1 on %2").arg(kKaveloPort).arg(where);
}

bool TCliSession::Open(bool opened, const QString& target) {
  if (opened) return true;
  fOpenError = OpenFailureText(target);
  fReport.Error(fOpenError);
  fKavelo.Disconnect();
  return false;
}

bool TCliSession::Connect(const QString& address) {
  if (!Open(fKavelo.Connect(address, kKaveloPort), address)) return false;
  fView.AppendLog(ConnectLogLine(address, kKaveloPort));
  return true;
}

int TCliSession::Search() {
  const QString from = fOptions.Addresses.isEmpty() ? QString::fromLatin1(kDefaultAddressText)
                                                    : fOptions.Addresses.first();
  fView.BeginHandheld(QString());
  const TSearchResult result = SearchHandhelds(
      fKavelo, from, kKaveloPort, [this](const QString& line) { fView.AppendLog(line); });
  if (!Open(result.Opened, from)) return kExitNoHandheld;
  ShowSearchResult(result.Found.isEmpty() ? QString() : result.Found.first());
  QStringList unique = result.Found;
  unique.removeDuplicates();
  fReport.Found(unique);
  return unique.isEmpty() ? kExitNoHandheld : kExitDone;
}

bool TCliSession::ReadVersions() {
  TStepRunner runner(fView, TFirmwareRow::Handheld);
  if (!runner.ContinueWith(QString(), true, StepText(186, 180))) return false;
  if (!runner.Step(StepText(186, 180), UpdateModeEntry(fKavelo), [] { return StepText(188, 181); }))
    return false;
  if (!runner.Step(StepText(188, 181), ReadBlock(fKavelo, fView.ControlBlock()), RestartText))
    return false;
  // Update mode is left the way a search leaves it: the handheld restarts as it was.
  fKavelo.Restart();
  runner.FinishLastStep(RestartText());
  return true;
}

int TCliSession::Info() {
  int status = kExitDone;
  for (const QString& address : fOptions.Addresses) {
    fView.BeginHandheld(address);
    if (!Connect(address)) return kExitNoHandheld;
    if (ReadVersions())
      fReport.Versions(address, fView.ControlBlock());
    else
      status = kExitStepFailed;
    fKavelo.Disconnect();
  }
  return status;
}

THandheldResult TCliSession::UpdateOne(const QString& address) {
  THandheldResult result{address, THandheldOutcome::Failed, {}, {}};
  TSequenceEnd end = TSequenceEnd::NotStarted;
  switch (fOptions.Kind) {
  case TUpdateKind::Handheld:
    end = UpdateHandheld(fView);
    break;
  case TUpdateKind::RadioModule:
    end = UpdateRadioModule(fView);
    break;
  case TUpdateKind::PersistentData:
    end = UpdatePersistentData(fView);
    break;
  }
  fKavelo.Disconnect();
  if (end == TSequenceEnd::Completed) {
    result.Outcome = THandheldOutcome::Updated;
  } else if (end == TSequenceEnd::Declined) {
    result.Outcome = THandheldOutcome::UpToDate;
  } else {
    result.FailedStep = fView.FailedStep();
    result.Error = fView.Error();
    if (result.Error.isEmpty()) result.Error = QStringLiteral("the update could not start");
  }
  return result;
}

int TCliSession::Update() {
  std::vector<THandheldResult> results;
  int status = kExitDone;
  for (const QString& address : fOptions.Addresses) {
    fView.BeginHandheld(address);
    if (!Connect(address)) {
      // The port is the machine's, not the handheld's: the next handheld would fare no better.
      results.push_back({address, THandheldOutcome::Failed, {}, fOpenError});
      status = kExitNoHandheld;
      break;
    }
    results.push_back(UpdateOne(address));
    fReport.Result(results.back());
    if (results.back().Outcome == THandheldOutcome::Failed) status = kExitStepFailed;
  }
  fReport.Summary(results, status);
  return status;
}

} // namespace kavelo::cli
