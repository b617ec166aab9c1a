// The report for people: a progress bar with the step's text on a terminal, the log's plain lines
// anywhere else.

#include "cli/CliReport.h"
#include "update/NumberSyntax.h"
#include "update/Versions.h"

namespace kavelo::cli {

namespace {

constexpr int kBarWidth = 30;
constexpr int kBarLabelWidth = 36;

// A box's text as lines; the texts separate them with CR LF.
QStringList BoxLines(const QString& text) {
  QString t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return t.split(u'\n');
}

class TTextReport : public ICliReport {
public:
  TTextReport(const TCliOutput& output, bool terminal, bool dataOnOut)
      : fOutput(output), fTerminal(terminal), fDataOnOut(dataOnOut) {}

  void BeginHandheld(const QString&) override {}
  void LogLine(const QString& line, bool stepLine) override {
    // On a terminal the bar and the result lines show the steps.
    if (fTerminal && stepLine) return;
    Line(line);
  }
  void StepAnnounced(const QString& step) override {
    if (!fTerminal) return;
    fBarStep = step;
    DrawBar(0);
  }
  void StepFinished(const QString&, bool, const QString&, const QString& line) override {
    if (!fTerminal) return;
    Line(line);
  }
  void Progress(const QString& step, int percent, int32_t, int32_t) override {
    if (!fTerminal) return;
    fBarStep = step;
    DrawBar(percent);
  }
  void Prompt(const QString& text) override {
    ClearBar();
    // Where the lines go to a file or a pipe, the question is put where the person sees it.
    QString prompt = text;
    prompt.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    prompt += QStringLiteral(" [y/N] ");
    if (fTerminal)
      fOutput.Out(prompt.toLocal8Bit());
    else
      fOutput.Err(prompt.toLocal8Bit());
  }
  void Question(const QString&, const QString& text, bool yes, const QString& answeredBy) override {
    // On the terminal the question and the typed answer stand on the screen already.
    if (fTerminal && answeredBy == QLatin1String("terminal")) return;
    for (const QString& line : BoxLines(text))
      Line(line);
    QString answer = (yes ? QStringLiteral("Answered Yes (") : QStringLiteral("Answered No (")) +
                     answeredBy + QStringLiteral(")");
    if (answeredBy == QLatin1String("no terminal"))
      answer += QStringLiteral("; --yes updates anyway, --skip-current skips without asking");
    Line(answer);
  }
  void Message(const QString&, const QString& text) override {
    for (const QString& line : BoxLines(text))
      Line(line);
  }
  void Error(const QString& text) override {
    ClearBar();
    fOutput.Err((QStringLiteral("kavelo-cli: ") + text + u'\n').toLocal8Bit());
  }
  void Found(const QStringList& addresses) override {
    for (const QString& a : addresses)
      Data(a);
  }
  void Versions(const QString& address, const TControlBlock& block) override {
    const auto row = [](const char* name, uint32_t installed, uint16_t builtIn) {
      return QStringLiteral("  %1 %2 %3")
          .arg(QLatin1String(name), -20)
          .arg(InstalledVersionText(installed), -11)
          .arg(VersionText(builtIn));
    };
    Data(QStringLiteral("Kavelo %1").arg(address).leftJustified(23) +
         QStringLiteral("installed   built-in"));
    Data(row("main controller", block.OldFirmwareHM, HMFirmwareVersion));
    Data(row("radio module", block.OldFirmwareRM, RMFirmwareVersion));
    Data(row("resources", block.OldHMResources, HMResourcesVersion));
  }
  void Result(const THandheldResult&) override {}
  void Summary(const std::vector<THandheldResult>& results, int) override {
    int counts[3] = {0, 0, 0};
    for (const auto& r : results)
      ++counts[static_cast<int>(r.Outcome)];
    Line(QStringLiteral("Summary: %1 updated, %2 already up to date, %3 failed")
             .arg(counts[0])
             .arg(counts[1])
             .arg(counts[2]));
    for (const auto& r : results) {
      QString line = QStringLiteral("  %1 %2").arg(r.Address, -15).arg(OutcomeName(r.Outcome));
      if (r.Outcome == THandheldOutcome::Failed)
        line += QStringLiteral(": ") +
                (r.FailedStep.isEmpty() ? r.Error : r.FailedStep + QStringLiteral(": ") + r.Error);
      Line(line);
    }
  }

private:
  void Write(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    if (fDataOnOut)
      fOutput.Err(bytes);
    else
      fOutput.Out(bytes);
  }
  void Line(const QString& line) {
    ClearBar();
    Write(line + u'\n');
  }
  void Data(const QString& line) {
    ClearBar();
    fOutput.Out((line + u'\n').toLocal8Bit());
  }
  void DrawBar(int percent) {
    const int filled = percent * kBarWidth / 100;
    QString label = fBarStep.left(kBarLabelWidth);
    label = label.leftJustified(kBarLabelWidth, u' ');
    Write(QStringLiteral("\r%1 [%2%3] %4%\x1b[K")
              .arg(label, QString(filled, u'#'), QString(kBarWidth - filled, u'-'))
              .arg(percent, 3));
    fBarShown = true;
  }
  void ClearBar() {
    if (!fBarShown) return;
    fBarShown = false;
    Write(QStringLiteral("\r\x1b[K"));
  }

  const TCliOutput& fOutput;
  bool fTerminal;
  bool fDataOnOut;
  QString fBarStep;
  bool fBarShown = false;
};

} // namespace

QString InstalledVersionText(uint32_t value) {
  if (value == kNoVersion) return QStringLiteral("none");
  if (value <= 0xFFFF) return VersionText(static_cast<uint16_t>(value));
  return ControlBlockValueText(value);
}

QString OutcomeName(THandheldOutcome outcome) {
  switch (outcome) {
  case THandheldOutcome::Updated:
    return QStringLiteral("updated");
  case THandheldOutcome::UpToDate:
    return QStringLiteral("already up to date");
  case THandheldOutcome::Failed:
    break;
  }
  return QStringLiteral("failed");
}

std::unique_ptr<ICliReport> MakeTextReport(const TCliOutput& output, bool terminal,
                                           bool dataOnOut) {
  return std::make_unique<TTextReport>(output, terminal, dataOnOut);
}

} // namespace kavelo::cli
